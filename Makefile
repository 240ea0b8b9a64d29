# The two commands of the README: `make run` and `make test`.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FIRST_SAMPLE := samples/aurora-1.jpg

.PHONY: deps build build-asan run test test-plain test-asan bench samples format translations icons install-user deb clean fuzz tsan

deps:
	@bash tools/install-deps.sh

build/build.ninja: CMakeLists.txt
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build-asan/build.ninja: CMakeLists.txt
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPELU_SANITIZE=ON $(CMAKE_FLAGS)

build: build/build.ninja
	cmake --build build -j $(JOBS)

build-asan: build-asan/build.ninja
	cmake --build build-asan -j $(JOBS)

run: deps
	$(MAKE) build
	./build/pelu "$(FIRST_SAMPLE)"

# A test that lost a timing race to a loaded machine gets one more try; a fault fails both.
CTEST_FLAGS := --output-on-failure -j $(JOBS) --repeat until-pass:2

test-plain: build
	cd build && ctest $(CTEST_FLAGS)

test-asan: build-asan
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest $(CTEST_FLAGS)

test: deps
	$(MAKE) test-plain
	$(MAKE) test-asan

# The window figures need an X display of a known size: a virtual one.
bench: deps build
	xvfb-run -a -s "-screen 0 1600x1000x24" ./build/pelu-bench

samples: deps
	bash tools/make-samples.sh

# Every C++ source in the project's clang-format style.
format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

# Refreshes translations/*.ts from the sources; translate what comes back unfinished.
translations:
	for ts in translations/pelu_*.ts; do \
	  /usr/lib/qt6/bin/lupdate -silent -locations none -no-obsolete src -ts "$$ts"; done

# Redraws the PNG icons from packaging/icons/pelu.svg (needs rsvg-convert).
icons:
	for side in 16 24 32 48 64 128 256 512; do \
	  rsvg-convert -w $$side -h $$side packaging/icons/pelu.svg -o packaging/icons/pelu-$$side.png; done

# Installs Pelu for the current user only, under ~/.local.
install-user: build
	cmake --install build --prefix "$(HOME)/.local"
	-update-desktop-database "$(HOME)/.local/share/applications"
	-gtk-update-icon-cache -f -t "$(HOME)/.local/share/icons/hicolor"
	# The metainfo under its name before the application's id, from an earlier install.
	rm -f "$(HOME)/.local/share/metainfo/pelu.metainfo.xml"

# A Debian package of the plain build: build/pelu_VERSION_ARCH.deb (`sudo apt install ./build/pelu_*.deb`).
deb: deps build
	cd build && cpack -G DEB

clean:
	rm -rf build build-asan

# libFuzzer over the image service's read entry points for FUZZ_SECONDS (default 600); not
# part of `make test`. Installs clang itself.
fuzz:
	bash tools/fuzz.sh

# Now and then: the tests that use background threads under ThreadSanitizer, in a tree of
# their own. Slow, and not part of `make test`.
TSAN_TESTS := state_tst_navigation state_tst_soak imaging_tst_decoding
empty :=
space := $(empty) $(empty)
tsan:
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELU_TSAN=ON $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target $(TSAN_TESTS)
	cd build-tsan && TSAN_OPTIONS=suppressions=$(CURDIR)/tests/tsan.supp:second_deadlock_stack=1 \
	  ctest --output-on-failure -R '^($(subst $(space),|,$(TSAN_TESTS)))$$'
