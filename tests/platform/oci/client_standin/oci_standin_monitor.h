// What the stand-in client library records of the calls made through it: the
// server round trips a real client would make for them, by kind (and, when
// asked, a fixed latency added to each), and a trace of every call.
//   TVX_OCI_TRACE=FILE         one line a call, tab-separated: its name, its handles and arguments
//                              (name=value), a prepare's text, its status (rc=N)
//   TVX_OCI_ROUND_TRIPS=FILE   the round trips by kind, written when the program ends
//   TVX_OCI_LATENCY_US=N       each round trip takes N microseconds more
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/oci/oci_types.h"

// The kinds of round trip; calls a real client answers locally (handles,
// attributes, binds, defines, a prepare) make none.
enum class standin_trip : size_t { none, session, execute, fetch, commit, lob, count_ };

constexpr size_t standin_trip_kinds = static_cast<size_t>(standin_trip::count_);

// Records one call: its round trip (unless it was refused before reaching the
// server) and its trace line. `detail` is only built when tracing.
void standin_record(const char* name, standin_trip trip, sword status, const std::string& detail);
bool standin_tracing();

// A handle or pointer as the trace writes it.
std::string standin_ptr(const void* p);

extern "C" {
// The round trips made so far, by kind (index: standin_trip); at most `n` are filled.
void tvx_standin_round_trips(uint64_t* counts, size_t n);
// Starts counting again from zero.
void tvx_standin_reset_round_trips();
}
