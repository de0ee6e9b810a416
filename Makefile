# The front door. Every target first installs what it needs and the machine
# lacks (scripts/setup.sh, as root or with sudo): `make dll` the cross
# compiler alone, `make play` the WebAssembly build and the page's packages,
# `make test` everything.
.PHONY: dll test test-native test-optimised test-windows test-web test-setup demo host release \
        play clean

setup-%:
	@bash scripts/setup.sh $*

dll: setup-dll
	cmake --preset dll >/dev/null
	cmake --build --preset dll --target orbitrix
	@echo "built dist/orbitrix.mcp"

# Everything installed in one go first, then the suites.
test: setup-test test-setup test-native test-optimised test-windows test-web

# The package step against a repository broken on purpose, through apt's own
# options: the machine's apt is not touched.
test-setup: setup-setup
	python3 tests/setup/package_step.py .

test-native: setup-native
	cmake --preset native >/dev/null
	cmake --build --preset native
	ctest --preset native

# The plug-in's code optimised as the module ships it: every float through
# the snap and the move's arithmetic, and each mouse event's instruction
# count held to its regression limit (bench/run.sh --counts).
test-optimised: setup-optimised
	cmake --preset optimised >/dev/null
	cmake --build --preset optimised
	ctest --preset optimised

# With the host window's test, on a display of its own (setup-window).
test-windows: setup-windows setup-window
	cmake --preset windows >/dev/null
	cmake --build --preset windows
	ctest --preset windows

# The page's tests run on the Node.js that web/package-lock.json pins, the same
# on every machine: Playwright takes Node 20, and Debian 12's own is 18.
WEB_NODE := web/node_modules/.bin/node

# The plug-in as WebAssembly: the session player's traces against the native
# player's, the page's JavaScript host against the simulated host, the page's
# server, and the page itself in headless Chromium.
test-web: setup-web
	cmake --preset native >/dev/null
	cmake --build --preset native --target orbitrix-play
	$(MAKE) --no-print-directory -f web/web.mk site player
	$(WEB_NODE) --test web/test/traces.test.mjs web/test/texts.test.mjs web/test/serve.test.mjs \
		web/test/browser.test.mjs

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
