#include "protocol/param_store.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/eq_model.h"
#include "dsp/filter_design.h"

namespace v36 {

// ---------------------------------------------------------------------------
// Change notices

StoreChanges::Seq StoreChanges::next() {
    return counter_.fetch_add(1, std::memory_order_acq_rel) + 1;
}

void StoreChanges::touchWord(int w) {
    if (w < 0 || w >= kWords) return;
    const Seq seq = next();
    words_[static_cast<std::size_t>(w)].store(seq);
    areas_[static_cast<std::size_t>(Area::Words)].store(seq);
    wakeAll();
}

void StoreChanges::touchRecords(std::size_t offset, std::size_t length) {
    if (length == 0) return;
    const Seq seq = next();
    const std::size_t last = std::min<std::size_t>((offset + length - 1) / BandRecord::kSize,
                                                   static_cast<std::size_t>(kRecords - 1));
    for (std::size_t r = offset / BandRecord::kSize; r <= last; ++r)
        records_[r].store(seq);
    areas_[static_cast<std::size_t>(Area::Records)].store(seq);
    wakeAll();
}

void StoreChanges::touch(Area a) {
    areas_.at(static_cast<std::size_t>(a)).store(next());
    wakeAll();
}

int StoreChanges::subscribe(Wake wake) {
    std::lock_guard<std::mutex> lock(subscribersMutex_);
    const int id = nextId_++;
    subscribers_.emplace_back(id, std::move(wake));
    subscriberCount_.store(static_cast<int>(subscribers_.size()));
    return id;
}

void StoreChanges::unsubscribe(int id) {
    std::lock_guard<std::mutex> lock(subscribersMutex_);
    std::erase_if(subscribers_, [id](const auto& s) { return s.first == id; });
    subscriberCount_.store(static_cast<int>(subscribers_.size()));
}

void StoreChanges::wakeAll() {
    if (subscriberCount_.load() == 0) return;
    std::lock_guard<std::mutex> lock(subscribersMutex_);
    for (const auto& [id, wake] : subscribers_)
        wake();
}

// ---------------------------------------------------------------------------
// Words

std::array<std::uint8_t, ParamBlock::kBytes> ParamBlock::toBytes() const {
    std::array<std::uint8_t, kBytes> out{};
    for (int w = 0; w < kWords; ++w)
        putLE32(out.data() + 4 * w, getRaw(w));
    return out;
}

void ParamBlock::fromBytes(const std::uint8_t* bytes) {
    for (int w = 0; w < kWords; ++w)
        setRaw(w, getLE32(bytes + 4 * w));
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (std::uint32_t{text[i + 1]} - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;  // a lone surrogate
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t c = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
        }
        if (len > 1) {
            if (i + len <= text.size()) {
                c = b & (0xFFu >> (len + 1));
                for (std::size_t k = 1; k < len; ++k) {
                    const auto cb = static_cast<unsigned char>(text[i + k]);
                    if ((cb & 0xC0) != 0x80) {
                        c = 0xFFFD;
                        len = k;
                        break;
                    }
                    c = (c << 6) | (cb & 0x3Fu);
                }
            } else {
                len = text.size() - i;
            }
        }
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += u'\uFFFD';
        }
        i += len;
    }
    return out;
}

std::uint8_t encodeTenths(float value) {
    const double v =
        value > 0.0f ? static_cast<double>(value) + 0.05 : static_cast<double>(value) - 0.05;
    const int tenths = static_cast<int>(v * 10.0);
    const int magnitude = tenths < 0 ? -tenths : tenths;
    const int clamped = magnitude > 127 ? 127 : magnitude;
    return static_cast<std::uint8_t>(clamped | (tenths < 0 ? 0x80 : 0x00));
}

float decodeTenths(std::uint8_t byte) {
    const float magnitude = static_cast<float>(byte & 0x7F) / 10.0f;
    return (byte & 0x80) != 0 ? -magnitude : magnitude;
}

SoundFieldGeometry decodeSoundFieldBytes(const std::uint8_t* bytes) {
    SoundFieldGeometry g;
    g.roomWidth = bytes[0];
    g.roomHeight = bytes[1];
    g.listenerX = decodeTenths(bytes[2]);
    g.listenerY = decodeTenths(bytes[3]);
    for (std::size_t k = 0; k < SoundFieldGeometry::kSpeakers; ++k) {
        g.speakerX[k] = decodeTenths(bytes[4 + 2 * k]);
        g.speakerY[k] = decodeTenths(bytes[5 + 2 * k]);
    }
    return g;
}

std::array<std::uint8_t, kSoundFieldBytes> encodeSoundFieldBytes(const SoundFieldGeometry& g) {
    std::array<std::uint8_t, kSoundFieldBytes> b{};
    b[0] = static_cast<std::uint8_t>(g.roomWidth);
    b[1] = static_cast<std::uint8_t>(g.roomHeight);
    b[2] = encodeTenths(g.listenerX);
    b[3] = encodeTenths(g.listenerY);
    for (std::size_t k = 0; k < SoundFieldGeometry::kSpeakers; ++k) {
        b[4 + 2 * k] = encodeTenths(g.speakerX[k]);
        b[5 + 2 * k] = encodeTenths(g.speakerY[k]);
    }
    return b;
}

void ParamStore::decodeSoundField() {
    const auto bytes = soundFieldBlock.snapshot();
    soundField.set(decodeSoundFieldBytes(bytes.data()));
}

std::array<std::uint8_t, kSoundFieldBytes> ParamStore::encodeSoundField() {
    const auto bytes = encodeSoundFieldBytes(soundField.get());
    soundFieldBlock.assign(bytes);
    return bytes;
}

float ParamStore::speakerLevel(int k) const {
    std::array<std::uint8_t, 4> b{};
    speakers.read(static_cast<std::size_t>(4 * k), b.data(), 4);
    return bitsFloat(getBE32(b.data()));
}

float speakerLevelOf(const std::array<std::uint8_t, kSpeakerBlockSize>& block, int k) {
    if (k < 0 || k > 7) return 0.0f;
    return bitsFloat(getBE32(block.data() + 4 * k));
}

BandRecord ParamStore::record(int bank, int section) const {
    std::array<std::uint8_t, BandRecord::kSize> bytes{};
    registers.read(static_cast<std::size_t>(recordOffset(bank, section)), bytes.data(),
                   bytes.size());
    return BandRecord::decode(bytes.data());
}

void ParamStore::setRecord(int bank, int section, const BandRecord& r) {
    const auto bytes = r.encode();
    registers.write(static_cast<std::size_t>(recordOffset(bank, section)), bytes.data(),
                    bytes.size());
}

void ParamStore::setSpeakerLevel(int k, float db) {
    std::array<std::uint8_t, 4> b{};
    putBE32(b.data(), floatBits(db));
    speakers.write(static_cast<std::size_t>(4 * k), b.data(), 4);
}

void applyRegisterDefaults(ByteBlock<kRegisterBlockSize>& regs) {
    const auto put = [&regs](int bank, const SectionSetting& s) {
        const auto bytes = BandRecord{s.gain, s.freq, s.q, s.type}.encode();
        regs.write(static_cast<std::size_t>(recordOffset(bank, s.section)), bytes.data(),
                   bytes.size());
    };
    for (int eq = 0; eq < kEqCount; ++eq) {
        for (const SectionSetting& s : startupBands(eq))
            put(eqInfo(eq).bank, s);
    }
    // Split-filter pairs after the EQ bands: high-pass first, low-pass second.
    for (int bank = 5; bank <= 9; ++bank) {
        for (int section = bankEqBands(bank); section < bankSections(bank); section += 2) {
            put(bank, {section, kHighPass, 500, 0.0f, 0.707f});
            put(bank, {section + 1, kLowPass, 1000, 0.0f, 0.707f});
        }
    }
}

void copyIdentity(const ParamStore& from, ParamStore& to) {
    to.deviceModel.set(from.deviceModel.get());
    to.dspVersion.set(from.dspVersion.get());
    to.mcuVersion.set(from.mcuVersion.get());
    to.protocolVersion.store(from.protocolVersion.load());
}

void copyUnitState(const ParamStore& from, ParamStore& to) {
    for (int w = 0; w < ParamBlock::kWords; ++w)
        to.params.setRaw(w, from.params.getRaw(w));
    to.registers.assign(from.registers.snapshot());
    to.auxState.assign(from.auxState.snapshot());
    to.speakers.assign(from.speakers.snapshot());
    to.soundFieldBlock.assign(from.soundFieldBlock.snapshot());
    to.soundField.set(from.soundField.get());
    to.musicSource.store(from.musicSource.load());
    to.hdmiInput.store(from.hdmiInput.load());
    to.currentMode.store(from.currentMode.load());
    to.settingsApplied.assign(from.settingsApplied.snapshot());
    to.settingsEdit.assign(from.settingsEdit.snapshot());
    to.settingsFromUnit.store(from.settingsFromUnit.load());
    to.remoteKeyTable.assign(from.remoteKeyTable.snapshot());
    copyIdentity(from, to);
    for (std::size_t m = 0; m < to.modeNames.size(); ++m)
        to.modeNames[m].set(from.modeNames[m].get());
}

void ParamStore::resetToDefaults() {
    deviceModel.set(u"Korvel");
    mcuVersion.set(u"2012-10-03");
    dspVersion.set(u"2012-11-30");
    modeNames[0].set(u"Mode1");
    modeNames[1].set(u"Mode2");
    modeNames[2].set(u"Mode3");
    modeNames[3].set(u"Mode4");

    soundFieldBlock.assign(kDefaultSoundField);
    decodeSoundField();

    settingsEdit.fill(0);
    settingsApplied.fill(0);
    settingsApplied.set(settings::kMicStartVolume, 99);
    settingsApplied.set(settings::kMusicStartVolume, 99);

    params.clear();
    params.setFloat(35, 217.0f);  // echoATime[2]
    params.setFloat(42, 217.0f);  // echoBTime[2]
    params.setInt(36, 60);        // echoAParam19
    params.setInt(43, 60);        // echoBParam26

    // The default records are designed once: a reset (every new document,
    // every test's store) copies them.
    static const auto defaults = [] {
        ByteBlock<kRegisterBlockSize> block;
        block.fill(0);
        applyRegisterDefaults(block);
        return block.snapshot();
    }();
    registers.assign(defaults);
    speakers.fill(0);
    remoteKeyTable.fill(0);

    auxState.fill(0);
    liveStatus.fill(0);
    musicSource.store(0);
    hdmiInput.store(0);
    currentMode.store(0);
    protocolVersion.store(0);
    settingsFromUnit.store(false);
}

}  // namespace v36
