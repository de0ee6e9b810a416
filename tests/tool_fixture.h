// A started host with one perspective view, for the tool's tests.
#pragma once

#include <gtest/gtest.h>

#include "host/options.h"
#include "sim/host/desktop.h"
#include "sim/host/host.h"

struct ToolTest : ::testing::Test {
  sim::Host host{sim::LinkedPlugin()};
  sim::View& view = host.view(1);

  void SetUp() override {
    sim::fake::Reset();
    ASSERT_TRUE(host.Start());
    view.plain();
    host.setDragState(0);
    host.ClearLog();
  }

  // A press at (x, y) on a camera at the given angles, with the log cleared.
  void PressAt(int32_t x, int32_t y, float heading, float pitch) {
    view.setAngles(heading, pitch);
    sim::SetCursor(x, y);
    ASSERT_EQ(host.Press(1), 0);
    ASSERT_EQ(host.dragState(), 1);
    host.ClearLog();
  }

  int32_t MoveTo(int32_t x, int32_t y) {
    sim::SetCursor(x, y);
    return host.Move(1);
  }

  int CallsTo(uint32_t slot) const {
    int n = 0;
    for (const sim::Call& c : host.log) n += c.slot == slot;
    return n;
  }
};
