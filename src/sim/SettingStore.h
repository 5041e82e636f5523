#pragma once
// The printer's stored user settings, kept as the value texts a Query setting answers.
//
// A Write settings command's records are decoded here from the printer's side: each known
// record turns into the text the tool's reply decoder expects for it, so what a tool writes it
// reads back equal. Unknown record numbers are reported (and skipped as two-byte records, the
// common layout); a value outside the record's range is reported and leaves the stored text
// unchanged. The store starts at the model's factory values. Not thread-safe: the owner locks.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace korva {

class SettingStore {
public:
    struct Record {
        enum class Verdict { Stored, Unknown, Invalid, Truncated };
        int number = 0;
        Verdict verdict = Verdict::Stored;
        std::string value;             // the stored text (Stored only)
        std::vector<std::uint8_t> raw; // the record's bytes after the number
    };

    // modelKind and nvGraphicKB choose the factory values.
    SettingStore(int modelKind, int nvGraphicKB);

    // Decodes and applies the records of one Write settings command: the bytes after the
    // function byte 05, exactly as long as pL pH announced.
    std::vector<Record> apply(std::span<const std::uint8_t> records);

    // The reply text for a Query setting; nullopt for unknown and write-only numbers.
    std::optional<std::string> queryText(int number) const;

    // Every stored value by setting number, in number order. A plain sorted list: the store
    // is small and built once per printer, which tests build by the thousand.
    using Values = std::vector<std::pair<int, std::string>>;
    const Values& values() const { return m_values; }
    // The stored text of one number; "" when none is stored.
    const std::string& value(int number) const;

    bool operator==(const SettingStore&) const = default;

    static const char* nameOf(int number); // "" for numbers the printer does not know
    static bool isKnown(int number);
    static bool isWriteOnly(int number); // 0xCC..0xD5

private:
    void store(int number, std::string text);

    Values m_values;
};

} // namespace korva
