#pragma once
// The two web links of the window and the shell operation behind them.

#include "Desktop.h"

#include <QLatin1StringView>
#include <QString>

namespace kest {

// The platform's "show the window normally" code, which both links pass.
inline constexpr int ShowNormal = 1;

inline constexpr QLatin1StringView SqliteSiteUrl{"https://sqlite.org/"};

// The project's own pages: it has no web site, so they are the README as a file address: the
// one beside the program when there is one (a build, a copied folder), else the installed one.
inline constexpr QLatin1StringView AuthorPageFileName{"README.md"};
QString AuthorSiteUrl(const QString &programFolder);

// Hands `target`, a document path or an address, to the shell; returns whether the shell
// accepted it.
bool ShellOpen(Desktop &desktop, const QString &target, int showCode);

} // namespace kest
