#pragma once

#include <optional>
#include <string>
#include <utility>

namespace kp70 {

// Asks the operator for the name of the file that stands in for the printer when the port
// is "FILE". The GUI shows its "Print to File" dialog; nullopt (the dialog was not ended
// with OK) makes the port write to "temp.prn" in the current directory.
class OutputFileAsker {
public:
    virtual ~OutputFileAsker() = default;
    virtual std::optional<std::string> AskOutputFile() = 0;
};

// An asker that answers without asking: the name it was given, or nullopt for "temp.prn".
// The command line uses it for --file PATH.
class FixedOutputFileAsker : public OutputFileAsker {
public:
    explicit FixedOutputFileAsker(std::optional<std::string> name = std::nullopt)
        : m_name(std::move(name)) {}
    std::optional<std::string> AskOutputFile() override { return m_name; }

private:
    std::optional<std::string> m_name;
};

// The file written when the operator names none.
inline constexpr const char* kDefaultOutputFile = "temp.prn";

}  // namespace kp70
