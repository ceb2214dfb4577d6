#pragma once
// One posting job's FTP settings, filled from the settings right before each upload. The uploader
// owns one; its fields are public and assigned directly.
//
// The five reserved fields have no role in any operation; they are carried so that the serial
// form keeps its twelve fields in their places.

#include "upload/Archive.h"

#include <cstdint>
#include <string>

namespace tovra {

class CFtpSite {
public:
    // The record's class name and schema number in its serial form.
    static constexpr char kClassName[] = "CFtpSite";
    static constexpr std::uint32_t kSchema = 1;

    // Stores or loads the twelve fields in their declared order, nothing else: no count, version
    // or terminator. A load that runs out of data throws ArchiveError.
    void Serialize(Archive& archive);

    std::string serverAddress;
    std::int32_t reserved1 = 1;
    std::string reserved2;
    std::string templateFile;
    std::string userName;
    std::string reserved3;
    std::string password;
    // The connection uses its low 16 bits.
    std::int32_t port = 21;
    // Directory part up to and including the last '/', then the file name.
    std::string remotePath;
    std::int32_t reserved4 = 15;
    std::int32_t reserved5 = 0;
    // Nonzero: passive mode. Kept as a 32-bit integer because the serial form has one.
    std::int32_t passiveMode = 0;
};

} // namespace tovra
