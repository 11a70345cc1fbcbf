#!/usr/bin/env bash
# Checks a deliverable's boundary: the symbols it exports and, for Windows binaries, that it
# depends on Windows system DLLs only (libgcc, libstdc++ and winpthread linked statically).
# usage: check-binary.sh FILE [EXPORTED_SYMBOL ...]   (no symbols: exports are not checked)
set -euo pipefail
file=$1
shift
expected=$(printf '%s\n' "$@" | sort)
status=0

case "$file" in
*.dll | *.exe)
    dump=$(x86_64-w64-mingw32-objdump -p "$file")
    imports=$(grep 'DLL Name:' <<<"$dump" | awk '{print $3}' | sort -u)
    allowed='^(KERNEL32|USER32|GDI32|gdiplus|ole32|OLEAUT32|SHELL32|ADVAPI32|COMCTL32|msvcrt|api-ms-win-[a-z0-9-]+)\.dll$'
    for dll in $imports; do
        if ! grep -Eiq "$allowed" <<<"$dll"; then
            echo "$file imports $dll, which is not a Windows system DLL"
            status=1
        fi
    done
    exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
        grep -E '^\s+\[ *[0-9]+\] ' | grep -o '\] [A-Za-z_][A-Za-z0-9_@]*' | awk '{print $2}' | sort || true)
    ;;
*)
    exports=$(nm -D --defined-only "$file" | awk '$2 ~ /[TtWwDdBb]/ {print $3}' |
        grep -v '^_\(init\|fini\|edata\|end\|_bss_start\)$' | sort || true)
    ;;
esac

if [ $# -gt 0 ] && [ "$exports" != "$expected" ]; then
    echo "$file exports:"
    echo "${exports:-(nothing)}"
    echo "expected:"
    echo "$expected"
    status=1
fi
[ $status -eq 0 ] && echo "$file: boundary as expected"
exit $status
