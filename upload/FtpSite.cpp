#include "upload/FtpSite.h"

namespace tovra {

void CFtpSite::Serialize(Archive& archive) {
    archive.Transfer(serverAddress)
        .Transfer(reserved1)
        .Transfer(reserved2)
        .Transfer(templateFile)
        .Transfer(userName)
        .Transfer(reserved3)
        .Transfer(password)
        .Transfer(port)
        .Transfer(remotePath)
        .Transfer(reserved4)
        .Transfer(reserved5)
        .Transfer(passiveMode);
}

} // namespace tovra
