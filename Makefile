# Quick start (Debian 12, as root):
#   make demo    install what is missing, build both platforms, run the demo
#   make test    install what is missing, build both platforms, run every test suite
.PHONY: demo test setup build bench fuzz validate format clean

PRESETS := linux windows
# CI treats warnings in the project's own code as errors.
WERROR := $(if $(CI),ON,OFF)
# One build job per processor.
JOBS := $(shell nproc 2>/dev/null || echo 2)

demo: build
	scripts/demo.sh

# Builds each preset and runs its tests, then the thread tests and the validation battery under
# ThreadSanitizer; a failed build is counted in the summary line like a failed test.
test: setup
	QXA_WERROR=$(WERROR) scripts/run-tests.sh --build $(PRESETS) linux-tsan

setup:
	scripts/setup.sh

build: setup
	@for preset in $(PRESETS); do \
		cmake --preset $$preset -DQXA_WERROR=$(WERROR) >/dev/null && \
		cmake --build --preset $$preset --parallel $(JOBS) || exit 1; \
	done

bench: setup
	cmake --preset linux-release -DQXA_WERROR=$(WERROR) >/dev/null
	cmake --build --preset linux-release --parallel $(JOBS)
	@status=0; for script in scripts/bench-*.sh; do \
		"$$script" build/linux-release || { echo "bench: $$script failed" >&2; status=1; }; \
	done; exit $$status

fuzz: setup
	scripts/fuzz.sh

validate: build
	scripts/validate.sh 10

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
