#pragma once
#include <QString>
#include <QVector>
#include <cstdint>

struct SongEntry {
    QString filePath;
    int32_t randomKey = 0;
    int32_t presence = 0;  // > 0: found by the latest scan (its size); <= 0: -misses
};

// An ordered list with one cursor. Cursor -1 means "before the first entry".
// Operations return a pointer to the entry under the cursor, or nullptr for
// "none", with exactly the cursor rules the library and playback rely on.
template <typename T>
class CursorList {
public:
    T* first() { cur = items.isEmpty() ? -1 : 0; return current(); }
    T* next() {
        if (items.isEmpty()) return nullptr;
        if (cur + 1 >= items.size()) return nullptr;  // stays on the last
        ++cur;
        return &items[cur];
    }
    T* previous() {
        if (cur <= 0) return nullptr;  // stays
        --cur;
        return &items[cur];
    }
    void reset() { cur = -1; }
    T* select(int index) {
        if (index < 0 || index >= items.size()) { cur = -1; return nullptr; }
        cur = index;
        return &items[cur];
    }
    int index() const { return cur; }
    T* current() { return (cur >= 0 && cur < items.size()) ? &items[cur] : nullptr; }
    // Inserts a zero-filled entry after the cursor and puts the cursor on it.
    T* add() {
        int at = cur < 0 ? 0 : cur + 1;
        items.insert(at, T{});
        cur = at;
        return &items[cur];
    }
    // Appends at the end without moving the cursor.
    T* append(const T& value) { items.append(value); return &items.last(); }
    // Removes the entry under the cursor; the cursor moves to the one before.
    void deleteCurrent() {
        if (cur < 0 || cur >= items.size()) return;
        items.removeAt(cur);
        --cur;
    }
    int size() const { return int(items.size()); }
    bool isEmpty() const { return items.isEmpty(); }
    void clear() { items.clear(); cur = -1; }
    T& at(int i) { return items[i]; }
    const T& at(int i) const { return items[i]; }
    QVector<T>& raw() { return items; }  // for sorting and bulk walks
    const QVector<T>& raw() const { return items; }

private:
    QVector<T> items;
    int cur = -1;
};

using SongList = CursorList<SongEntry>;
using PathList = CursorList<QString>;
