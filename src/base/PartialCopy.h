#pragma once
#include <QString>

// Names of the temporary files a copy writes before it renames the finished
// file into place. A file of such a name is an unfinished copy whose source
// still exists; it may be deleted at any time after the copying process died.
// The name is hidden and has an extension no song pattern contains.

// ".<name>.kalvo-part" in the folder of target.
QString partialCopyName(const QString& target);
// True for a file name (no folder) made by partialCopyName.
bool isPartialCopyName(const QString& name);
