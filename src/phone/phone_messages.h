#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace v36::phone {

// The messages a phone sends, one JSON object each:
//   {"pair": "123456"}
//   {"get": NAME}
//   {"set": NAME, "value": V, "end": true?}
//   {"eq": N}
//   {"band": {"eq": N, "band": B, "type": T?, "freq": F?, "gain": G?, "q": Q?}, "end": true?}
//   {"mode": "recall", "index": I}
// "end" marks the last message of a gesture (a lifted finger).
struct PairRequest {
    std::string code;
};
struct GetRequest {
    std::string name;
};
struct SetRequest {
    std::string name;
    double value = 0.0;
    bool end = false;
};
struct EqRequest {
    int eq = 0;
};
struct BandRequest {
    int eq = 0;
    int band = 0;  // from 1
    std::optional<int> type;
    std::optional<double> freq;
    std::optional<double> gain;
    std::optional<double> q;
    bool end = false;
};
struct RecallRequest {
    int index = 0;  // 1..4
};
using Request =
    std::variant<PairRequest, GetRequest, SetRequest, EqRequest, BandRequest, RecallRequest>;

// A message read: the request, or the reason it was refused.
struct ParsedMessage {
    std::optional<Request> request;
    std::string error;
};

// Reads one text message (at most kMaxMessageBytes; the caller refuses
// longer ones). Numbers are finite, whole where a whole number is wanted;
// ranges are checked where the request is applied.
ParsedMessage parseMessage(std::string_view text);

}  // namespace v36::phone
