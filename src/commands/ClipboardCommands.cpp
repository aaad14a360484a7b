#include "ClipboardCommands.h"

#include "CommandHost.h"
#include "Desktop.h"
#include "KestruneBinding.h"

#include <new>

namespace kest {

void Command6_Click(CommandHost &host)
{
    host.desktop().setClipboardText(host.queryText());
}

namespace {

// The bytes of `text` as UTF-8, a pair of surrogates counted as six.
qint64 utf8Size(QStringView text)
{
    qint64 size = 0;
    const char16_t *const units = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i)
        size += 1 + (units[i] >= 0x80) + (units[i] >= 0x800);
    return size;
}

} // namespace

void Command4_Click(CommandHost &host)
{
    try {
        const QString text = host.desktop().clipboardText();
        // The window keeps a big text as UTF-8 and gives its line ends CR LF, which may copy it.
        BudgetReservation held(&host.library());
        held.add(2 * utf8Size(text));
        host.setQueryText(text);
    } catch (const std::bad_alloc &) {
        host.desktop().message(PasteTooLargeMessage, PasteTooLargeTitle, MessageButtons::Ok, MessageIcon::Critical);
    }
}

} // namespace kest
