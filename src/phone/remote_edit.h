#pragma once

#include <optional>
#include <span>
#include <string>

#include "dsp/eq_model.h"
#include "phone/phone_messages.h"
#include "protocol/edit.h"
#include "protocol/param_store.h"

namespace v36::phone {

// The edits a remote asks for (a phone, a broker's client), checked against
// the control table and the EQ model before anything is stored or sent.

// `word` set to `value`: nullopt with the reason when the value does not
// fit; with a unit attached the machine settings' volume limit applies, as
// the ribbon keeps it. The edit may change nothing (see `editChanges`).
std::optional<Edit> remoteWordEdit(const ParamStore& store, int word, double value,
                                   bool unitAttached, std::string& why);

// A band of an EQ changed as `band` asks: nullopt with the reason when it is
// refused, nullopt with an empty reason when nothing would change.
std::optional<Edit> remoteBandEdit(const ParamStore& store, const BandRequest& band,
                                   std::string& why);

// Whether applying `edit` would change a word or a section of the store.
bool editChanges(const ParamStore& store, const Edit& edit);

// The EQ as the remotes see it; with `curves` its response over the
// phones' plot (the bands alone otherwise, which costs far less).
void loadRemoteGraph(const ParamStore& store, EqGraphModel& graph, int eq, bool curves = false);
// The type a band shows: on the subwoofer EQ the point's menu type.
int shownType(int eq, std::span<const EqBand> bands, int band);
// The highest Q of a filter type.
float maxQ(int type);

}  // namespace v36::phone
