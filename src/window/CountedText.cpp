#include "CountedText.h"

#include <QStringDecoder>

#include <algorithm>
#include <new>
#include <vector>

namespace kest {

namespace {

// UTF-8 decoded a slice at a time: into the text, or when measuring into a slice's room.
constexpr qsizetype Slice = 16 * 1024;

class Utf16Device final : public QIODevice {
public:
    // Measures when `out` is nullptr.
    Utf16Device(char16_t *out, qsizetype capacity) : out_(out), capacity_(capacity)
    {
        if (out_ == nullptr)
            scratch_.resize(std::size_t(decoder_.requiredSpace(Slice)));
        open(WriteOnly);
    }
    qsizetype units() const { return units_; }
    // Room the decoder asks beyond the text itself, so that its last slice fits.
    static qsizetype slack() { return QStringDecoder(QStringDecoder::Utf8).requiredSpace(Slice); }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        for (qint64 at = 0; at < size; at += Slice) {
            const QByteArrayView slice(data + at, std::min<qint64>(Slice, size - at));
            if (out_ != nullptr && units_ + decoder_.requiredSpace(slice.size()) > capacity_)
                return -1; // not as measured
            auto *to = reinterpret_cast<QChar *>(out_ != nullptr ? out_ + units_ : scratch_.data());
            units_ += decoder_.appendToBuffer(to, slice) - to;
        }
        return size;
    }

private:
    char16_t *out_;
    qsizetype capacity_;
    qsizetype units_ = 0;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    std::vector<char16_t> scratch_;
};

} // namespace

std::unique_ptr<CountedText> CountedText::Written(MemoryBudget *budget, const Writer &write)
{
    Utf16Device measure(nullptr, 0);
    if (!write(measure))
        return nullptr;
    std::unique_ptr<CountedText> text(new CountedText);
    text->capacity_ = measure.units() + Utf16Device::slack();
    try {
        text->units_ = AllocateBudgeted<char16_t>(budget, std::size_t(text->capacity_));
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    Utf16Device fill(text->units_.get(), text->capacity_);
    if (!write(fill) || fill.units() != measure.units())
        return nullptr;
    text->size_ = fill.units();
    return text;
}

QString CountedText::text() const
{
    return QString::fromRawData(reinterpret_cast<const QChar *>(units_.get()), size_);
}

} // namespace kest
