#include "ClipboardCommands.h"

#include "CommandHost.h"
#include "CountInRuns.h"
#include "Desktop.h"
#include "KestruneBinding.h"

#include <new>

namespace kest {

void onCopyClicked(CommandHost &host)
{
    host.desktop().setClipboardText(host.queryText());
}

namespace {

// The bytes of `text` as UTF-8, a pair of surrogates counted as six; counted in runs
// (CountInRuns.h): a 100 MB paste in milliseconds, where a unit at a time kept the window
// waiting a tenth of a second.
qint64 utf8Size(QStringView text)
{
    const char16_t *const units = text.utf16();
    return text.size() + CountInRuns<1>(0, text.size(), [units](qsizetype i, auto &sums) {
               sums[0] += (units[i] >= 0x80) + (units[i] >= 0x800);
           })[0];
}

} // namespace

void onPasteClicked(CommandHost &host)
{
    try {
        const QString text = host.desktop().clipboardText();
        // The library takes SQL as a C text, which would end at the NUL: the rest would not run.
        if (text.contains(QChar::Null)) {
            host.desktop().message(PasteNotTextMessage, PasteTooLargeTitle, MessageButtons::Ok, MessageIcon::Critical);
            return;
        }
        // The window keeps a big text once, as the UTF-8 the library takes.
        BudgetReservation held(&host.library());
        held.add(utf8Size(text));
        host.setQueryText(text);
    } catch (const std::bad_alloc &) {
        host.desktop().message(PasteTooLargeMessage, PasteTooLargeTitle, MessageButtons::Ok, MessageIcon::Critical);
    }
}

} // namespace kest
