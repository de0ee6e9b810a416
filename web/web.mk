# The WebAssembly builds, run from the repository's root by the Makefile:
#
#   make -f web/web.mk site     the page, ready to serve, in build/web/site
#   make -f web/web.mk player   build/web/orbitrix-play.js, the session player for Node
#
# Both compile the plug-in's own sources as they are, with Debian's Emscripten.
# Only the system seam differs: host/web.cpp for the page, the simulated
# host's test seam for the player. The page's JavaScript, three.js and the
# module's Emscripten glue are bundled into one file by esbuild, pinned in
# web/package-lock.json.

OUT := build/web
EMXX := em++
# Emscripten's tools need Debian's node modules, which the machine's own Node
# does not look for.
export NODE_PATH := /usr/share/nodejs

PLUGIN := host/entry.cpp host/options.cpp tool/view.cpp tool/drag.cpp tool/snap.cpp
SIM := sim/host/host.cpp sim/host/desktop.cpp sim/host/fake_system.cpp sim/host/plugin_linked.cpp \
       sim/session/session.cpp sim/report/trace.cpp sim/rules/oracle.cpp sim/player.cpp

# Single precision rounds once, as in the other builds: no fused multiply-add
# and no fast-math. web/compat supplies what Emscripten's older libc++ lacks.
# Clang, unlike GCC, takes the option labels' split literals for a missing
# comma.
CXXFLAGS := -std=c++20 -O2 -Wall -Wextra -Werror -Wno-string-concatenation -ffp-contract=off \
            -Iweb/compat -I.

# The host looks up the module's exports by the names in the one list of
# them, MCP_EXPORTS in host/abi.h, which the preprocessor spells out here.
EXPORTS := $(shell printf '#include "host/abi.h"\n#define MCP_NAME(name) _MCP_##name\nMCP_EXPORTS(MCP_NAME)\n' \
                   | $(EMXX) -E -P -I. -x c++ - | grep -o '\b_MCP_[A-Za-z]*') \
           _OrbitrixWebSetPointer _OrbitrixWebSetCtrl _malloc _free
comma := ,
empty :=
space := $(empty) $(empty)

# The page's module: an ES module factory. The host binds its services with
# addFunction, which needs room in the function table.
PAGE_LDFLAGS := -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createOrbitrix -sENVIRONMENT=web \
                -sALLOW_TABLE_GROWTH=1 -sFILESYSTEM=0 \
                -sEXPORTED_FUNCTIONS=$(subst $(space),$(comma),$(strip $(EXPORTS))) \
                -sEXPORTED_RUNTIME_METHODS=addFunction

# The player reads its script from the real file system under Node; the
# session parser reports bad lines with exceptions.
PLAYER_LDFLAGS := -fexceptions -sENVIRONMENT=node -sWASM_ASYNC_COMPILATION=0 -sNODERAWFS=1 \
                  -sEXIT_RUNTIME=1

# The site: the page, its style, one bundle and the module, each also
# gzipped for the browsers that take it (web/serve.mjs serves those). gzip -n
# writes no name or time, so the same sources give the same bytes.
SITE := $(addprefix $(OUT)/site/,index.html style.css main.js orbitrix.wasm)
ESBUILD := web/node_modules/.bin/esbuild
# UTF-8 as written rather than escaped, which would double the page's Japanese.
# The licence comments of what is bundled (three.js's) go at the end.
BUNDLE_FLAGS := --bundle --minify --format=esm --charset=utf8 --legal-comments=eof --log-level=warning

.PHONY: site player
site: $(SITE) $(SITE:=.gz)
	@find $(OUT)/site -mindepth 1 $(foreach f,$(SITE) $(SITE:=.gz),! -path $(f)) -delete
player: $(OUT)/orbitrix-play.js $(OUT)/package.json

# Node reads the player (CommonJS) and the module's glue (an ES module) here
# by their syntax, whatever a package.json in a folder above the checkout says.
$(OUT)/package.json:
	@mkdir -p $(dir $@)
	echo '{}' >$@

$(OUT)/obj/%.o: %.cpp
	@mkdir -p $(dir $@)
	nice -n 10 $(EMXX) $(CXXFLAGS) $(if $(filter sim/%,$<),-fexceptions) -MMD -MP -c $< -o $@

obj = $(patsubst %.cpp,$(OUT)/obj/%.o,$(1))

# The module's glue, which the bundle takes in, and orbitrix.wasm beside it:
# the bundled glue fetches that from beside the bundle.
$(OUT)/orbitrix.js: $(call obj,$(PLUGIN) host/web.cpp) web/web.mk host/abi.h
	@mkdir -p $(dir $@)
	nice -n 10 $(EMXX) -O2 $(PAGE_LDFLAGS) $(filter %.o,$^) -o $@
$(OUT)/orbitrix.wasm: $(OUT)/orbitrix.js ;

$(OUT)/orbitrix-play.js: $(call obj,$(PLUGIN) $(SIM)) web/web.mk
	nice -n 10 $(EMXX) -O2 $(PLAYER_LDFLAGS) $(filter %.o,$^) -o $@

$(OUT)/site/main.js: $(wildcard web/src/*.js) $(OUT)/orbitrix.js web/package-lock.json | $(ESBUILD)
	@mkdir -p $(dir $@)
	$(ESBUILD) web/src/main.js $(BUNDLE_FLAGS) --outfile=$@
$(OUT)/site/style.css: web/style.css | $(ESBUILD)
	@mkdir -p $(dir $@)
	$(ESBUILD) $< --minify --log-level=warning --outfile=$@
$(OUT)/site/index.html: web/index.html
	@mkdir -p $(dir $@)
	cp $< $@
$(OUT)/site/orbitrix.wasm: $(OUT)/orbitrix.wasm
	@mkdir -p $(dir $@)
	cp $< $@
$(OUT)/site/%.gz: $(OUT)/site/%
	gzip -9 -n -c $< >$@

$(ESBUILD):
	@echo "web: $@ is missing: run npm ci --prefix web (scripts/setup.sh does)" >&2
	@false

-include $(shell find $(OUT)/obj -name '*.d' 2>/dev/null)
