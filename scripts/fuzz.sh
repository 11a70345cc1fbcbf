#!/usr/bin/env bash
# Builds the fuzz preset (clang + libFuzzer) and runs each file-reader fuzzer for a bounded
# time, starting from the corpus committed in host/fuzz/corpus.
#
#   scripts/fuzz.sh [SECONDS]      run each fuzzer SECONDS (default 60, or $FUZZ_SECONDS)
#   scripts/fuzz.sh --minimise     afterwards, merge what was found into the committed corpus,
#                                  keeping a smallest set of inputs that covers every edge
#
# New inputs collect in the build tree (build/fuzz/corpus-*); crash reproducers are written
# to build/fuzz/artifacts/ and the script fails.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
minimise=0
for arg in "$@"; do
    case $arg in
    --minimise) minimise=1 ;;
    ''|*[!0-9]*) echo "usage: $0 [SECONDS] [--minimise]" >&2; exit 2 ;;
    *) seconds=$arg ;;
    esac
done

build=${FUZZ_BUILD_DIR:-$root/build/fuzz}
cmake --preset fuzz -S "$root" -B "$build" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target qxahost_fuzz_wav qxahost_fuzz_smf

mkdir -p "$build/artifacts"
status=0
for reader in wav smf; do
    committed=$root/host/fuzz/corpus/$reader
    work=$build/corpus-$reader
    mkdir -p "$work"
    echo "fuzz: $reader reader for ${seconds}s"
    # The first directory receives new inputs; the committed corpus is only read.
    if ! "$build/bin/qxahost_fuzz_$reader" "$work" "$committed" -max_total_time="$seconds" \
        -max_len=2048 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$reader-" 2>"$build/fuzz-$reader.log"; then
        echo "fuzz: the $reader reader failed; see $build/fuzz-$reader.log and $build/artifacts/" >&2
        tail -n 30 "$build/fuzz-$reader.log" >&2
        status=1
        continue
    fi
    grep -E 'stat::number_of_executed_units|cov:' "$build/fuzz-$reader.log" | tail -n 2
    if [ "$minimise" = 1 ]; then
        merged=$build/merged-$reader
        rm -rf "$merged" && mkdir -p "$merged"
        if ! "$build/bin/qxahost_fuzz_$reader" -set_cover_merge=1 -use_counters=0 "$merged" \
            "$committed" "$work" 2>>"$build/fuzz-$reader.log" ||
            [ -z "$(ls -A "$merged")" ]; then
            echo "fuzz: merging the $reader corpus failed; host/fuzz/corpus/$reader is unchanged" \
                "(see $build/fuzz-$reader.log)" >&2
            status=1
            continue
        fi
        # The merged set takes the committed one's place; the old set goes once the new is in.
        rm -rf "$committed.old"
        mv "$committed" "$committed.old" && mv "$merged" "$committed" && rm -rf "$committed.old"
        echo "fuzz: $reader corpus now $(ls "$committed" | wc -l) files"
    fi
done
exit $status
