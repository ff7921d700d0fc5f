# Kavrel's entry point. On a fresh machine:
#   make demo   runs the client's conversation with the service emulator
#   make test   installs what is missing, builds everything and runs every test
.PHONY: all setup native native-asan win64 win32 fuzz check-native check-asan check-win64 test demo clean

all: native

setup:
	@bash scripts/setup.sh

build/%/build.ninja: CMakePresets.json
	@cmake --preset $* >/dev/null

native: setup build/native/build.ninja
	@cmake --build --preset native
native-asan: setup build/native-asan/build.ninja
	@cmake --build --preset native-asan
win64: setup build/win64/build.ninja
	@cmake --build --preset win64
win32: setup build/win32/build.ninja
	@cmake --build --preset win32
fuzz: setup build/fuzz/build.ninja
	@cmake --build --preset fuzz

check-native: native
	@ctest --preset native
check-asan: native-asan
	@ctest --preset native-asan
check-win64: win64
	@bash scripts/wine-tests.sh

# Fuzz smoke runs join here once fuzz targets exist (scripts/fuzz.sh).
test: check-native check-asan check-win64 win32
	@bash scripts/fuzz.sh smoke
	@echo "make test: all passed"

demo: native
	@bash scripts/demo.sh

clean:
	rm -rf build
