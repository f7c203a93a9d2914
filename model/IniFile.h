#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// An INI file as Windows programs write them: section and key names without
// regard to case, keys listed in file order, a key written twice listed twice,
// a UTF-8 byte-order mark and CRLF line ends accepted. A missing file reads as
// empty. A file that cannot be read as a configuration (larger than
// MaxFileSize, not a regular file, a name longer than MaxNameLength, a NUL
// byte) also reads as empty, and GetProblem says why.
class TIniFile
{
public:
    explicit TIniFile(std::string FileName);
    ~TIniFile();
    TIniFile(const TIniFile &) = delete;
    TIniFile &operator=(const TIniFile &) = delete;

    // Configuration files are a few kilobytes; anything near this is no
    // configuration, and reading it whole could take all memory or never end.
    static constexpr size_t MaxFileSize = 4 * 1024 * 1024;
    // Every key is looked up by its section's name, so long names would make
    // reading slow beyond measure; real names are a few characters.
    static constexpr size_t MaxNameLength = 255;

    const std::string &GetFileName() const { return FileName; }
    bool Exists() const { return Found; }
    // Why the file could not be read; empty when it was read or is missing.
    const std::string &GetProblem() const { return Problem; }

    // The key names of a section in file order; empty for a missing section.
    std::vector<std::string> ReadSection(const std::string &Section) const;
    bool SectionExists(const std::string &Section) const;
    std::optional<std::string> ReadString(const std::string &Section, const std::string &Key) const;
    std::string ReadString(const std::string &Section, const std::string &Key, const std::string &Default) const;
    // Every value of a key written on several lines, in file order.
    std::vector<std::string> ReadValues(const std::string &Section, const std::string &Key) const;
    // A missing key or a value that is not a number gives the default.
    int32_t ReadInteger(const std::string &Section, const std::string &Key, int32_t Default) const;
    // Read as an integer: anything but 0 is true.
    bool ReadBool(const std::string &Section, const std::string &Key, bool Default) const;

    void WriteString(const std::string &Section, const std::string &Key, const std::string &Value);
    // Written as "1" or "0".
    void WriteBool(const std::string &Section, const std::string &Key, bool Value);
    // Writes the whole file; false when it cannot be written, and when the file
    // is there but could not be read (it is left as it is).
    bool UpdateFile();

private:
    struct TImpl;
    std::unique_ptr<TImpl> Impl;
    std::string FileName;
    bool Found = false;
    std::string Problem;
};
