# Front door over the CMake presets: native (Linux), dll (Ostrelle.dll, the real plug-in), win32
# (the game's stand-in and the tests that run that DLL under Wine), sanitize (clang's sanitizers:
# the unit tests again and the fuzz targets) and web (the tuner page).
# make demo  - the main job: builds the simulator and the DLL alone, and runs the demo drive
# make test  - every test suite of every build (tools/run-tests), ending with one summary; the
#              tuner page in headless Chromium, Firefox ESR and WebKit
# make dll   - Ostrelle.dll and the drive recorder, Ostrelle-recorder.dll
# make bench - the speed and allocation benchmarks
# make dist  - the players' package: dist/Ostrelle/ and dist/Ostrelle-<version>.zip, the tuner
#              page built first, as the zip holds it
# make tuner - build/web/tuner/Ostrelle-tuner.html: tune, see and hear the plug-in in a browser
# make fuzz  - each fuzz target for FUZZ_SECONDS (default 600), two at a time; corpora and findings
#              in build/sanitize/tests/fuzz/<target>/

.PHONY: demo test dll dist bench deps native dll-build win32 sanitize fuzz tuner browser-test clean

deps:
	tools/install-deps

native: deps
	cmake --preset native
	cmake --build --preset native

dll-build: deps
	cmake --preset dll
	cmake --build --preset dll

win32: dll-build
	cmake --preset win32
	cmake --build --preset win32

sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize

FUZZ_SECONDS ?= 600
fuzz: deps
	cmake --preset sanitize
	cmake --build --preset sanitize --target fuzz_targets
	FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset fuzz -V --timeout $$(($(FUZZ_SECONDS) + 300))

# The web preset: Emscripten, with the page bundled by esbuild from tuner/node_modules.
TUNER := build/web/tuner/Ostrelle-tuner.html
tuner: deps
	cmake --preset web
	cmake --build --preset web
	@echo "Built: $(TUNER)"

# The page's tests in Chromium, Firefox ESR and WebKit; they compare the page with ostrelle-sim.
browser-test: native tuner
	cd tests/browser && npx playwright test --config playwright.config.mjs

dll: dll-build
	@echo "Built: build/dll/src/Ostrelle.dll build/dll/recorder/Ostrelle-recorder.dll"

dist: dll-build tuner
	cmake --preset dll -DOSTRELLE_TUNER=$(CURDIR)/$(TUNER)
	cmake --build --preset dll --target dist

# One build after the other: side by side (make -j3) they took 37 s longer on two cores.
test: native win32 sanitize tuner
	tools/run-tests

# Only what the demo runs: the simulator, and the DLL whose size it shows.
demo: deps
	cmake --preset native
	cmake --build --preset native --target ostrelle-sim
	cmake --preset dll
	cmake --build --preset dll --target Ostrelle
	tools/demo

bench: native win32 tuner
	cmake --build --preset native --target benchmarks
	build/native/tests/bench/ostrelle_bench
	tests/bench/count-instructions build/native/tests/bench/frame_instructions
	build/native/tests/bench/render_bench
	@echo "The plug-in's hook (goal: it adds at most 1.0 times what the floor adds):"
	cd build/win32/host && WINEPREFIX=$(CURDIR)/build/win32/wine ../../../tests/e2e/run-under-wine \
	  ostrelle-host.exe --plugin plugin/Ostrelle.dll --bench 1000000
	@echo "The drive recorder's hook (goal: at most 1.5 times; 1000 frames a run: below the eighth of its ring that wakes its writer, which never fills that fast in a game):"
	cd build/win32/host && WINEPREFIX=$(CURDIR)/build/win32/wine ../../../tests/e2e/run-under-wine \
	  ostrelle-host.exe --plugin plugin/Ostrelle-recorder.dll --bench 1000
	cd tests/browser && node bench.mjs
	cd tests/browser && OSTRELLE_LONG=1 npx playwright test --config playwright.config.mjs --project long

clean:
	rm -rf build
