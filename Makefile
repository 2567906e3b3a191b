# Quick start on a fresh machine: `make demo`, then `make check`.
JOBS ?= 2
PREFIX ?= /usr/local
SERVICES := tests/services/with-services.sh

# Each build compiles its sources a few files at a time, as one unit (CMake's unity build): most of
# the compile time is spent parsing the same headers (JSON, Asio, GoogleTest) again for every file.
# UNITY=OFF builds file by file.
UNITY ?= ON
CONFIGURE = cmake -DCMAKE_UNITY_BUILD=$(UNITY)

FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=

.PHONY: all deps build build-check build-tsan build-fuzz check check-services check-others fuzz \
  fuzz-smoke demo bench install deb clean

all: build

deps:
	@scripts/install-deps

build: deps
	@$(CONFIGURE) -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVESK_TESTS=OFF >/dev/null
	@MAKEFLAGS= cmake --build build -j$(JOBS) -- --no-print-directory

# Tests build with AddressSanitizer and UndefinedBehaviorSanitizer. The builds of the checks
# (build-check, build-tsan, build-fuzz) fail on a compiler warning; the others only report it.
build-check: deps
	@$(CONFIGURE) -S . -B build-check -DCMAKE_BUILD_TYPE=Debug -DVESK_SANITIZE=ON -DVESK_BENCH=OFF \
	  -DVESK_WERROR=ON >/dev/null
	@MAKEFLAGS= cmake --build build-check -j$(JOBS) -- --no-print-directory

# The unit tests of the classes that run on several threads, with ThreadSanitizer alone.
build-tsan: deps
	@$(CONFIGURE) -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DVESK_TSAN=ON -DVESK_WERROR=ON >/dev/null
	@MAKEFLAGS= cmake --build build-tsan -j$(JOBS) -- --no-print-directory

# The fuzz targets (fuzz/), built with clang, libFuzzer and the same two sanitizers.
build-fuzz: deps
	@$(CONFIGURE) -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang-14 \
	  -DCMAKE_CXX_COMPILER=clang++-14 -DVESK_FUZZ=ON -DVESK_TESTS=OFF -DVESK_BENCH=OFF \
	  -DVESK_WERROR=ON >/dev/null
	@MAKEFLAGS= cmake --build build-fuzz -j$(JOBS) --target fuzz_targets -- --no-print-directory

# Runs each fuzz target (or those in FUZZ_TARGETS) for FUZZ_SECONDS on a copy of its corpus;
# fails when one crashed (the input is kept under build-fuzz/fuzz-crashes/).
fuzz: build-fuzz
	@scripts/fuzz build-fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# A few thousand inputs through each fuzz target, from its corpus: part of check.
fuzz-smoke: build-fuzz
	@ctest --test-dir build-fuzz -L fuzz --output-on-failure -j$(JOBS)

# Every test: the tests of build-check against the test services (started and stopped around
# them, also when a test fails) and, beside them, the ThreadSanitizer tests, the fuzz smoke and
# the Debian package's install, run and remove. The two sides run at once: the service tests
# mostly wait on the services and on sound played in real time, while the other side compiles.
check: build-check
	@$(MAKE) --no-print-directory -j2 check-services check-others

check-services:
	@$(SERVICES) ctest --test-dir build-check --output-on-failure -j$(JOBS)

check-others: deb build-tsan fuzz-smoke
	@ctest --test-dir build-tsan --output-on-failure -j$(JOBS)
	@tests/package/install-run-remove.sh build-deb/vesk-native_*.deb

demo: build
	@$(SERVICES) scripts/demo build/vesk-native

bench: deps
	@$(CONFIGURE) -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DVESK_TESTS=OFF >/dev/null
	@MAKEFLAGS= cmake --build build-bench -j$(JOBS) -- --no-print-directory
	@$(SERVICES) scripts/bench build-bench

# Installs the binary in $(PREFIX)/bin and its backend modules in $(PREFIX)/lib/vesk-native (under
# $(DESTDIR) when set); the installed binary finds its modules there.
install: deps
	@$(CONFIGURE) -S . -B build-install -DCMAKE_BUILD_TYPE=Release -DVESK_TESTS=OFF \
	  -DCMAKE_INSTALL_PREFIX=$(PREFIX) >/dev/null
	@MAKEFLAGS= cmake --build build-install -j$(JOBS) --target vesk-native -- --no-print-directory
	@DESTDIR=$(DESTDIR) cmake --install build-install

# The Debian package build-deb/vesk-native_<version>_<arch>.deb, built with Debian's own flags
# (optimisation and hardening, as a Debian build of the package would use them);
# `sudo apt-get install ./build-deb/vesk-native_*.deb` installs it with what it needs.
deb: deps
	@eval "$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)" && \
	  CFLAGS="$$CFLAGS $$CPPFLAGS -DNDEBUG" CXXFLAGS="$$CXXFLAGS $$CPPFLAGS -DNDEBUG" \
	  $(CONFIGURE) -S . -B build-deb -DCMAKE_BUILD_TYPE=None -DVESK_TESTS=OFF -DVESK_BENCH=OFF \
	  -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
	@MAKEFLAGS= cmake --build build-deb -j$(JOBS) -- --no-print-directory
	@cd build-deb && rm -f vesk-native_*.deb && cpack -G DEB >/dev/null && ls "$$PWD"/vesk-native_*.deb

clean:
	rm -rf build build-check build-tsan build-bench build-install build-deb build-fuzz
