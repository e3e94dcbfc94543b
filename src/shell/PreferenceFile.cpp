#include "shell/PreferenceFile.h"

struct PreferenceFile::Document {};
PreferenceFile::PreferenceFile() = default;
PreferenceFile::~PreferenceFile() = default;
bool PreferenceFile::openPreferences(const QString&) { return false; }
bool PreferenceFile::createPreferences(const QString&) { return false; }
bool PreferenceFile::closePreferences() { return true; }
bool PreferenceFile::selectGroup(const QString&) { return false; }
QString PreferenceFile::readString(const QString&, const QString& d) { return d; }
int PreferenceFile::readInteger(const QString&, int d) { return d; }
bool PreferenceFile::examineKeys() { return false; }
bool PreferenceFile::nextKey() { return false; }
QString PreferenceFile::keyName() const { return {}; }
QString PreferenceFile::keyValue() const { return {}; }
void PreferenceFile::writeComment(const QString&) {}
void PreferenceFile::writeString(const QString&, const QString&) {}
void PreferenceFile::writeInteger(const QString&, int) {}
int readAtoi(const QString&) { return 0; }
