# The front door. Every target first installs what it needs and the machine
# lacks (scripts/setup.sh, as root or with sudo): `make dll` the cross
# compiler alone, `make play` the WebAssembly build and the page's packages,
# `make test` everything.
.PHONY: dll test test-native test-optimised test-windows test-web test-setup demo host release \
        play clean test-optimised-built test-others-built suite-native suite-windows suite-web

setup-%:
	@bash scripts/setup.sh $*

dll: setup-dll
	cmake --preset dll >/dev/null
	cmake --build --preset dll --target orbitrix
	@echo "built dist/orbitrix.mcp"

# Each suite's build and its run, written once for its own target and for
# make test.
define build-preset
cmake --preset $(1) >/dev/null
cmake --build --preset $(1)
endef
build-native = $(call build-preset,native)
run-native = ctest --preset native

# The plug-in's code optimised as the module ships it: every float through
# the snap and the move's arithmetic, and each mouse event's instruction
# count held to its regression limit (bench/run.sh --counts). Its run, the
# longest, yields the processor to whatever runs beside it.
build-optimised = $(call build-preset,optimised)
run-optimised = nice -n 10 ctest --preset optimised

build-windows = $(call build-preset,windows)
run-windows = ctest --preset windows

# The plug-in as WebAssembly: the session player's traces against the native
# player's, the page's JavaScript host against the simulated host, the page's
# server, and the page itself in headless Chromium. Its session player is
# built in the native build's folder. The page's tests run on the Node.js
# that web/package-lock.json pins, the same on every machine: Playwright
# takes Node 20, and Debian 12's own is 18.
WEB_NODE := web/node_modules/.bin/node
define build-web
cmake --preset native >/dev/null
cmake --build --preset native --target orbitrix-play
+$(MAKE) --no-print-directory -f web/web.mk site player
endef
define run-web
$(WEB_NODE) --test web/test/traces.test.mjs web/test/texts.test.mjs web/test/serve.test.mjs \
	web/test/browser.test.mjs
endef

# Everything installed in one go first, and the package step's test; then
# the optimised suite beside the others. Its build takes seconds and its run
# starts at once; the other builds go one after another, each on every core
# (the web build after the native one, whose folder they share), then their
# suites side by side. No two suites share a build folder, a Wine prefix, a
# display, the cursor or a file; the Windows suite runs its own tests one at
# a time, since they share the cursor of their Wine prefix. Every suite runs
# to its end (-k) and make test fails if any failed; each suite's output
# comes whole as it ends (-O).
test: setup-test test-setup
	@$(MAKE) --no-print-directory -k -j4 -Otarget test-optimised-built test-others-built

test-optimised-built:
	$(build-optimised)
	$(run-optimised)

test-others-built:
	$(build-native)
	$(build-web)
	$(build-windows)
	@$(MAKE) --no-print-directory -k -Otarget suite-native suite-windows suite-web

suite-native:
	$(run-native)
suite-windows:
	$(run-windows)
suite-web:
	$(run-web)

# The package step against a repository broken on purpose, through apt's own
# options: the machine's apt is not touched.
test-setup: setup-setup
	python3 tests/setup/package_step.py .

test-native: setup-native
	$(build-native)
	$(run-native)

test-optimised: setup-optimised
	$(build-optimised)
	$(run-optimised)

# With the host window's test, on a display of its own (setup-window).
test-windows: setup-windows setup-window
	$(build-windows)
	$(run-windows)

test-web: setup-web
	$(build-web)
	$(run-web)

# Plays the tour at the freshly built module under Wine: its trace on the
# terminal, its picture in build/demo.svg.
demo: setup-windows
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target orbitrix orbitrix-sim
	scripts/wine-run.sh build/windows/orbitrix-sim.exe --svg build/demo.svg examples/tour.session
	@echo "wrote build/demo.svg"

# The simulated host in a window on the desktop that DISPLAY names, the
# freshly built module in it, turned by the mouse.
host: setup-windows setup-window
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target orbitrix orbitrix-host
	scripts/wine-run.sh --display build/windows/orbitrix-host.exe

# The downloadable release: dist/orbitrix-<version>-win32.zip and
# dist/SHA256SUMS, the same bytes from any clone (see README.md, Releases).
release: setup-windows
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target release
	@cat dist/SHA256SUMS

# The tool in a browser: builds the page (one bundle, no network) and serves
# it, static files only, on http://127.0.0.1:$(PORT)/ until Ctrl-C.
PORT ?= 8000
play: setup-play
	$(MAKE) --no-print-directory -f web/web.mk site
	node web/serve.mjs build/web/site $(PORT)

clean:
	rm -rf build dist

# Measures each mouse event against the host calls it must make: times where
# 32-bit code runs natively, and guest instructions on every machine, which
# are held to the regression limits: it fails when an event is above one; see
# docs/developing.md.
.PHONY: bench
bench: setup-optimised
	cmake --preset optimised >/dev/null
	cmake --build --preset optimised --target orbitrix_bench orbitrix_count
	bench/run.sh build/optimised/bench
