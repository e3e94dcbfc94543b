#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class Kalvo;

// The window side of "Extras -> Info" (window 95): a titled window with a
// read-only text field that wraps at its width, and "OK".
class InfoView {
public:
    virtual ~InfoView() = default;
    // Creates the window, titled "Info"; false when it cannot be created.
    virtual bool createWindow() = 0;
    virtual void setTitle(const QString& title) = 0;
    // Read-only, wrapped at the field's width, any length.
    virtual void setText(const QString& text) = 0;
    // Its own loop until the close box or "OK"; the rest of the player takes
    // no input meanwhile. Blocks.
    virtual void runLoop() = 0;
    virtual void closeWindow() = 0;
};

// The about text, at most this long unpacked.
inline constexpr quint32 InfoTextMaxBytes = 1u << 20;

enum class InfoUnpack { Ok, NoMemory, Corrupt };

// Unpacks a block in qCompress form (unpacked size as 32-bit big-endian,
// then a zlib stream) holding UTF-8 text. NoMemory when the block asks for
// more than InfoTextMaxBytes; Corrupt when it is cut, damaged, of another
// size than it says, or not UTF-8. text is set only on Ok.
InfoUnpack unpackInfoText(QByteArrayView packed, QString& text);

// The about text as built into the program: an rcc resource compressed with
// zlib. Empty when the resource is missing or not compressed that way.
QByteArray packedInfoText();

// Opens the view, titles it " Kalvo2 0.992", unpacks packed into its text
// field and runs it until closed. Each failure is shown in a message box;
// after an unpack failure the window still opens, with an empty text.
void Info(Kalvo& k, InfoView& view, QByteArrayView packed);
