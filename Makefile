# The front door. Every target first installs what the machine lacks.
.PHONY: setup dll test test-native test-windows demo release clean

setup:
	@bash scripts/setup.sh

dll: setup
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target orbitrix
	@echo "built dist/orbitrix.mcp"

test: test-native test-windows

test-native: setup
	cmake --preset native >/dev/null
	cmake --build --preset native
	ctest --preset native

test-windows: setup
	cmake --preset windows >/dev/null
	cmake --build --preset windows
	ctest --preset windows

# Plays the tour at the freshly built module under Wine: its trace on the
# terminal, its picture in build/demo.svg.
demo: setup
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target orbitrix orbitrix-sim
	scripts/wine-run.sh build/windows/orbitrix-sim.exe --svg build/demo.svg examples/tour.session
	@echo "wrote build/demo.svg"

# The downloadable release: dist/orbitrix-<version>-win32.zip and
# dist/SHA256SUMS, the same bytes from any clone (see README.md, Releases).
release: setup
	cmake --preset windows >/dev/null
	cmake --build --preset windows --target release
	@cat dist/SHA256SUMS

clean:
	rm -rf build dist

# Measures each mouse event against the host calls it must make: times where
# 32-bit code runs natively, guest instructions wherever qemu is; see README.md.
.PHONY: bench
bench: setup
	cmake --preset bench >/dev/null
	cmake --build --preset bench --target orbitrix_bench orbitrix_count
	bench/run.sh build/bench/bench
