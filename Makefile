# Quick start (Debian 12, as root):
#   make demo    install what is missing, build both platforms, run the demo
#   make test    install what is missing, build both platforms, run every test suite
.PHONY: demo test setup build build-tsan bench fuzz validate format clean

PRESETS := linux windows
# CI treats warnings in the project's own code as errors.
WERROR := $(if $(CI),ON,OFF)
# One build job per processor.
JOBS := $(shell nproc 2>/dev/null || echo 2)

demo: build
	scripts/demo.sh

test: build build-tsan
	scripts/run-tests.sh $(PRESETS) linux-tsan

setup:
	scripts/setup.sh

build: setup
	@for preset in $(PRESETS); do \
		cmake --preset $$preset -DQXA_WERROR=$(WERROR) >/dev/null && \
		cmake --build --preset $$preset --parallel $(JOBS) || exit 1; \
	done

# The thread tests and the validation battery under ThreadSanitizer.
TSAN_TARGETS := qxahost oriv_plugin malvoree_plugin oriv_thread_tests malvoree_thread_tests
build-tsan: setup
	cmake --preset linux-tsan -DQXA_WERROR=$(WERROR) >/dev/null
	cmake --build --preset linux-tsan --parallel $(JOBS) --target $(TSAN_TARGETS)

bench: setup
	cmake --preset linux-release -DQXA_WERROR=$(WERROR) >/dev/null
	cmake --build --preset linux-release --parallel $(JOBS)
	@for script in scripts/bench-*.sh; do [ -x "$$script" ] && "$$script" build/linux-release; done; true

fuzz: setup
	scripts/fuzz.sh

validate: build
	scripts/validate.sh 10

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
