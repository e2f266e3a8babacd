# The two commands of the README: `make run` and `make test`.
# Both install missing Debian packages first (scripts/setup.sh).

.PHONY: setup build run test test-default test-asan test-fuzz bench fuzz clean

setup:
	@bash scripts/setup.sh

build: setup
	cmake --preset default
	cmake --build --preset default

# Makes a sample folder of images and shows it through qelvio-cli: the
# folder's images, their facts, and their thumbnails made and stored.
run: build
	bash scripts/make_samples.sh build/samples
	./build/default/app/qelvio-cli ls --ext "BMP DIB RLE GIF JPG JPEG JPE JIF JFIF TIF TIFF XIF" build/samples
	./build/default/app/qelvio-cli info build/samples/*.*
	./build/default/app/qelvio-cli thumbs build/samples

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
	  fuzz_segments fuzz_wav fuzz_thumbindex fuzz_jpeg_region
	bash fuzz/run_fuzzers.sh build/fuzz

bench: build
	./build/default/bench/qelvio-bench

fuzz: setup
	cmake --preset fuzz
	cmake --build --preset fuzz

clean:
	rm -rf build
