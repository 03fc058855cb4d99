#pragma once

#include <span>
#include <vector>

#include "dsp/eq_model.h"
#include "protocol/param_store.h"

namespace v36 {

// The stored record of working-copy band `band` of EQ `eq` (on the
// subwoofer EQ bands 5..19 are the hidden records).
BandRecord readEqRecord(const ParamStore& store, int eq, int band);
// Every record of `eq`, in working-copy order.
std::vector<BandRecord> readEqRecords(const ParamStore& store, int eq);

// Refills the graph's working copy of `eq` from the register block: EQ
// number, band count, each record under the loading rules, all curves.
void loadEqFromStore(const ParamStore& store, EqGraphModel& graph, int eq);

// The sections that carry band `band` of `eq` as the unit takes them:
// one section, or on the subwoofer EQ the point's four (the point's own
// values, then each hidden section with its own type, the point's
// frequency and Q and 0 dB, as the graph draws them). Frequencies are
// truncated to whole hertz. Empty for a band the EQ does not have.
std::vector<SectionSetting> bandSections(int eq, std::span<const EqBand> bands, int band);

// The word that bypasses `eq` (1 = bypassed), -1 for an unknown number.
int eqBypassWord(int eq);
bool isEqBypassed(const ParamStore& store, int eq);

}  // namespace v36
