#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// An INI file as Windows programs write them: section and key names without
// regard to case, keys listed in file order, a key written twice listed twice,
// a UTF-8 byte-order mark and CRLF line ends accepted. A missing file reads as
// empty.
class TIniFile
{
public:
    explicit TIniFile(std::string FileName);
    ~TIniFile();
    TIniFile(const TIniFile &) = delete;
    TIniFile &operator=(const TIniFile &) = delete;

    const std::string &GetFileName() const { return FileName; }
    bool Exists() const { return Found; }

    // The key names of a section in file order; empty for a missing section.
    std::vector<std::string> ReadSection(const std::string &Section) const;
    bool SectionExists(const std::string &Section) const;
    std::optional<std::string> ReadString(const std::string &Section, const std::string &Key) const;
    std::string ReadString(const std::string &Section, const std::string &Key, const std::string &Default) const;
    // A missing key or a value that is not a number gives the default.
    int32_t ReadInteger(const std::string &Section, const std::string &Key, int32_t Default) const;
    // Read as an integer: anything but 0 is true.
    bool ReadBool(const std::string &Section, const std::string &Key, bool Default) const;

    void WriteString(const std::string &Section, const std::string &Key, const std::string &Value);
    // Written as "1" or "0".
    void WriteBool(const std::string &Section, const std::string &Key, bool Value);
    // Writes the whole file; false when it cannot be written.
    bool UpdateFile();

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
    std::string FileName;
    bool Found = false;
};
