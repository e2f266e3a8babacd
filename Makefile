# The two commands of the README: `make run` and `make test`.
# Both install missing Debian packages first (scripts/setup.sh).

.PHONY: setup build run test test-default test-asan test-fuzz bench fuzz clean

setup:
	@bash scripts/setup.sh

build: setup
	cmake --preset default
	cmake --build --preset default

# Makes a sample folder of images and shows it in qelvio. Without a display
# qelvio runs offscreen and leaves a picture of its window in
# build/screenshot.png.
run: build
	bash scripts/make_samples.sh build/samples
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  ./build/default/app/qelvio build/samples; \
	else \
	  echo "run: no display (DISPLAY is not set), so qelvio runs offscreen"; \
	  QT_QPA_PLATFORM=offscreen QELVIO_SCREENSHOT=build/screenshot.png ./build/default/app/qelvio build/samples && \
	  echo "run: the window on build/samples is in $(CURDIR)/build/screenshot.png"; \
	fi

test: test-default test-asan test-fuzz

test-default: build
	ctest --preset default

test-asan: setup
	cmake --preset asan
	cmake --build --preset asan
	ctest --preset asan

# Each parser's fuzz target runs for 30 seconds from a generated seed corpus;
# any crash, leak or hang fails.
test-fuzz: setup
	cmake --preset fuzz
	cmake --build --preset fuzz --target fuzz_bmp fuzz_gif fuzz_jpeg fuzz_tiff fuzz_exif \
	  fuzz_segments fuzz_wav fuzz_thumbindex fuzz_jpeg_region fuzz_infrared
	bash fuzz/run_fuzzers.sh build/fuzz

bench: build
	./build/default/bench/qelvio-bench

fuzz: setup
	cmake --preset fuzz
	cmake --build --preset fuzz

clean:
	rm -rf build
