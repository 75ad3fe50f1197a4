#pragma once

namespace updater {

// Where one of the launcher's own files belongs (the record, the saved list and its signature,
// the downloads folder, a slot's journal and staging folder), a start that finds something else
// mends what it safely can: a link goes (what it points at stays), and an empty folder in a file's
// place. Anything else is named in the log, since removing it could lose someone's files.
void mendOwnFiles();

} // namespace updater
