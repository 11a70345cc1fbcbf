#include "test_host.h"

#include <cmath>

namespace {

TimeInfoRecord timeInfo{};
bool answerTransport = true;

} // namespace

namespace test_host {

intptr_t callback(DescriptorRecord* /*effect*/, int32_t opcode, int32_t /*index*/,
                  intptr_t /*value*/, void* /*pointer*/, float /*option*/) {
    switch (opcode) {
    case HostVersion:
        return kInterfaceVersion;
    case TransportInfo:
        return answerTransport ? reinterpret_cast<intptr_t>(&timeInfo) : 0;
    default:
        return 0;
    }
}

void setTempo(double beatsPerMinute) {
    answerTransport = true;
    timeInfo = {};
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = beatsPerMinute;
    timeInfo.flags = (beatsPerMinute > 0.0 || std::isnan(beatsPerMinute)) ? kTimeInfoTempoValid : 0;
}

void setNoTransport() {
    answerTransport = false;
}

} // namespace test_host
