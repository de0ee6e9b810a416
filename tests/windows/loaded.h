// The built module, loaded once per test program through the real loader.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim/host/plugin.h"

inline std::string PluginPath() {
  const char* env = std::getenv("ORBITRIX_PLUGIN");
  return env ? env : "dist/orbitrix.mcp";
}

inline const sim::Plugin& LoadedPlugin() {
  static sim::Plugin plugin = [] {
    sim::Plugin p{};
    std::string error;
    if (!sim::LoadPlugin(PluginPath(), &p, &error)) {
      ADD_FAILURE() << error;
      std::exit(1);
    }
    return p;
  }();
  return plugin;
}
