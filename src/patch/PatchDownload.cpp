#include "patch/PatchDownload.h"

#include "net/HttpClient.h"
#include "platform/AtomicFile.h"

namespace updater {

void downloadToFile(HttpClient& http, const std::string& url, const std::string& target)
{
    AtomicFileWriter file(target, ".updater-download-XXXXXX");
    http.get(url, [&](const char* data, size_t size) { file.write(data, size); });
    file.commit();
}

} // namespace updater
