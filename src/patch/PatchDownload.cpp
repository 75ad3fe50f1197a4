#include "patch/PatchDownload.h"

#include "net/HttpClient.h"
#include "platform/AtomicFile.h"
#include "platform/UpdaterError.h"

namespace updater {

void downloadToFile(HttpClient& http, const std::string& url, const std::string& target, uint64_t largest)
{
    AtomicFileWriter file(target, ".updater-download-XXXXXX");
    uint64_t received = 0;
    http.get(url, [&](const char* data, size_t size) {
        received += size;
        if (received > largest)
            throw UpdaterError("size does not match");
        file.write(data, size);
    });
    file.commit();
}

} // namespace updater
