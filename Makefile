# The front door. Every target first installs what the machine lacks.
.PHONY: setup dll test test-native test-windows clean

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

clean:
	rm -rf build dist
