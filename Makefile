# The two commands of the README, and the steps they are made of.
#   make demo   builds everything and runs the main job
#   make test   builds everything and runs every test layer of every preset
#   make dist   the release archive for Windows, in build/dist
#   make deb    the Debian package of the Linux tools (dispenserctl, lcdm-sim), in build/dist
SHELL := /bin/bash
.SHELLFLAGS := -euo pipefail -c
PRESETS := linux linux-tsan win64 win32 linux-fuzz

.PHONY: demo test deps build $(addprefix build-,$(PRESETS) linux-bench linux-package) test-linux test-linux-tsan test-win64 check-win32 dist check-dist deb check-deb fuzz bench

deps:
	@scripts/bootstrap.sh

build: deps $(addprefix build-,$(PRESETS))

$(addprefix build-,$(PRESETS) linux-bench linux-package): build-%: deps
	@cmake --preset $* >/dev/null
	@cmake --build --preset $*

test: build test-linux test-linux-tsan test-win64 check-win32 check-dist check-deb fuzz
	@echo "make test: every layer passed"

test-linux: build-linux
	ctest --preset linux

test-linux-tsan: build-linux-tsan
	ctest --preset linux-tsan

# The Windows build under wine64: a fresh prefix, one wineserver and an Xvfb display for the run.
test-win64: build-win64 build-linux
	scripts/wine-session.sh ctest --preset win64

check-win32: build-win32
	scripts/check-win32.sh

dist: build-win32
	scripts/make-dist.sh

# The archive as made by dist, checked with the native tools.
check-dist: dist build-linux
	scripts/check-dist.sh

# The build of the package makes only its two programs and their manual pages (Release).
deb: build-linux-package
	scripts/make-deb.sh

check-deb: deb
	scripts/check-deb.sh

# Every fuzz target briefly; FUZZ_SECONDS=600 make fuzz for a longer run.
FUZZ_SECONDS ?= 15
fuzz: build-linux-fuzz
	scripts/run-fuzzers.sh $(FUZZ_SECONDS)

bench: build-linux-bench build-win64 build-linux
	scripts/run-bench.sh

demo: build dist
	scripts/demo.sh
