// What a tool event did, as the host's log shows it, held to what the rules
// say it must do (sim/rules/events.h), and what the event found there. The
// stress test and the validator judge events by this.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "sim/host/host.h"
#include "sim/rules/events.h"

namespace sim {

// How the host answers the attribute's two queries (sim/host/host.cpp).
AttributeAnswer Answered(const View& v, const std::string& key);

// The scene an event on view v meets in host: what the reader makes of the
// view's attributes, its camera's angles, the option records' value bytes
// (0 before they are registered) and the drag state in context. The rest
// (the tool id, the services, the cursor, Ctrl, the anchor) is the caller's.
Scene SceneOf(const Host& host, ViewHandle v, const unsigned char* context);

// The effect in words, e.g. "answered 0, drag state 1, no camera written,
// TempOrtho 0, 0 redraws".
std::string Described(const Effect& e);

// Whether the event on view v, whose calls are all of host's log and which
// answered answer and left dragState, did what due says: the answer and the
// drag state; at most one camera write, to view v, with the six opaque
// values as before and the angles due; at most one write of "TempOrtho" on
// view v, to "0" or "1"; each redraw of refreshTarget and -1; no call at
// all where due is quiet. "" when it did, else what it did and what it
// should have, in words. The anchor the event took is not seen.
std::string EffectDiffers(const Host& host, ViewHandle v, const std::array<uint32_t, 8>& before,
                          int32_t answer, int32_t dragState, uint32_t refreshTarget,
                          const Effect& due);

// Whether a query, whose calls are all of host's log and registrations,
// did what due says: its answer, in the whole of EAX for an 8-bit truth
// value (answerBytes 1); and each record registered with the identifier
// words w0, w1, the host's arguments a1, a2, its kind and size, and the
// bytes due, a text field leading to the text due. "" when it did, else
// what it did and what it should have.
std::string QueryDiffers(const Host& host, uint32_t eax, int answerBytes, uint32_t w0, uint32_t w1,
                         uint32_t a1, uint32_t a2, const QueryEffect& due);

}  // namespace sim
