# Bramble: set-up, build, test, run.  Everything needed is installed on demand.
SHELL := /bin/bash
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)

PACKAGES := cmake ninja-build g++ pkg-config qt6-base-dev qt6-5compat-dev qt6-svg-dev qt6-translations-l10n liblmdb-dev libpcre2-dev libssl-dev \
            zlib1g-dev nlohmann-json3-dev libcli11-dev libgtest-dev libgmock-dev xvfb xauth \
            imagemagick librsvg2-bin fonts-dejavu-core yaz libmarc-record-perl
FUZZ_PACKAGES := clang libclang-rt-14-dev
# The Debian package: dpkg-shlibdeps (dpkg-dev) and file for CPack's
# dependency list; its checks only for package-check.
PACKAGE_PACKAGES := dpkg-dev file
PACKAGE_CHECK_PACKAGES := lintian desktop-file-utils appstream

.PHONY: setup build test test-plain test-asan run bench fuzz clean package package-check

# Only missing packages are installed, so a set-up machine is not touched.
setup:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBRAMBLE_SANITIZE=ON

build: setup $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test-plain: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) --timeout 600

test-asan: setup $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS) --timeout 900

test: test-plain test-asan

run: build
	@tools/run.sh $(BUILD)

bench: build
	cmake --build $(BUILD) --target benchmarks -j $(JOBS)
	@tools/bench.sh $(BUILD)

fuzz: setup
	@for p in $(FUZZ_PACKAGES); do dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || \
	  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends $$p; done
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRAMBLE_FUZZ=ON -DBRAMBLE_GUI=OFF
	cmake --build build-fuzz --target fuzzers -j $(JOBS)
	@tools/fuzz.sh build-fuzz

# Installs the packages named in $(1) that are missing.
install_missing = missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y --no-install-recommends $$missing; \
	fi

# bramble_<version>_<arch>.deb in $(BUILD)/ (see packaging/README.md).
package: build
	@$(call install_missing,$(PACKAGE_PACKAGES))
	cd $(BUILD) && cpack -G DEB
	@ls -1 $(BUILD)/bramble_*.deb

# The package, then lintian on it and the desktop entry and metainfo checks.
package-check: package
	@$(call install_missing,$(PACKAGE_CHECK_PACKAGES))
	desktop-file-validate packaging/org.bramble.Bramble.desktop
	appstreamcli validate --no-net $(BUILD)/packaging/org.bramble.Bramble.metainfo.xml
	lintian --fail-on error $$(ls -t $(BUILD)/bramble_*.deb | head -n 1)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz
