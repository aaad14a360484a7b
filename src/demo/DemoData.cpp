// The demonstration data set and its insert scripts. This file is the one place that
// holds the rows; the odd spellings and the trailing blank of "United Abominations " are
// part of the data.

#include "DemoData.h"

#include <algorithm>
#include <string>

namespace kest {

constexpr std::array<std::string_view, DemoArtistCount> DemoArtists = {
    "Puddle of Mudd",
    "Frank Zappa",
    "Love/Hate",
    "Cheap Trick",
    "Megadeth",
    "Foo Fighters",
    "Evanescence",
    "Genesis",
    "Pink Floyd",
    "Cliff Martinez",
    "Wraith",
    "Rush",
    "Yes",
    "Yello",
    "Jethro Tull",
    "REM",
    "Coldplay",
    "Def Leppard",
    "Warrant",
    "Budgie",
    "Wisbone Ash",
    "All About Eve",
    "Roxy Music",
    "Camel",
    "Guns n Roses",
    "Emerson Lake and Palmer",
};

constexpr std::array<DemoCD, DemoCDCount> DemoCDs = {{
    {1, "Come Clean", "2001"},
    {1, "Abrasive", "1997"},
    {1, "Life on Display", "2003"},
    {2, "Freak Out", "1966"},
    {2, "Absolutely Free", "1967"},
    {2, "Weasels Ripped My Flesh", "1970"},
    {2, "200 Motels", "1971"},
    {2, "The Grand Wazoo", "1972"},
    {2, "Sheik Yerbouti", "1979"},
    {2, "Joes Garage", "1979"},
    {2, "Ship Arriving Too Late to Save a Drowning Witch", "1982"},
    {2, "The Man From Utopia", "1983"},
    {2, "You Are What You Is", "1981"},
    {3, "Black Out in The Red Room", "1990"},
    {3, "Wasted in America", "1992"},
    {3, "Lets Rumble", "1993"},
    {3, "Im Not Happy", "1995"},
    {3, "Livin off Layla", "1997"},
    {3, "Lets Eat", "1999"},
    {4, "Cheap Trick", "1977"},
    {4, "In Color", "1977"},
    {4, "Heaven Tonight", "1978"},
    {4, "Dream Police", "1979"},
    {4, "All Shook Up", "1980"},
    {4, "Found All The Parts", "1980"},
    {4, "One on One", "1982"},
    {4, "Next Position Please", "1983"},
    {4, "Standing on the Edge", "1985"},
    {4, "The Doctor", "1986"},
    {4, "Lap of luxury", "1988"},
    {4, "Busted", "1990"},
    {4, "Greatest Hits", "1991"},
    {4, "Woke Up With A Monster", "1994"},
    {4, "Cheap Trick", "1997"},
    {4, "Special One", "2003"},
    {4, "Rockford", "2006"},
    {5, "Rust in Peace", "1990"},
    {5, "Peace Sells...", "1980"},
    {5, "Risk", "1999"},
    {5, "United Abominations ", "2007"},
    {6, "Foo Fighters", "1995"},
    {6, "The Color and The Shape", "1997"},
    {6, "There is Nothing Left To Lose", "1999"},
    {6, "One By One", "2002"},
    {6, "In Your Honour", "2005"},
    {7, "Fallen", "2003"},
    {8, "From Genesis to Revelation", "1969"},
    {8, "Trespass", "1970"},
    {8, "Nursery Cryme", "1971"},
    {8, "Foxtrot", "1972"},
    {8, "Selling England By The Pound", "1973"},
    {8, "Lamb Lies Down on Broadway", "1974"},
    {8, "Trick of the Tail", "1976"},
    {8, "Wind and Wuthering", "1976"},
    {8, "... and Then There Were Three", "1978"},
    {8, "Duke", "1980"},
    {8, "Acab", "1981"},
    {8, "Genesis", "1983"},
    {8, "Invisible Touch", "1986"},
    {8, "We Cant Dance", "1991"},
    {8, "Calling all Stations", "1997"},
    {9, "Piper at the Gates of Dawn", "1967"},
    {9, "Saucer Full of Secrets", "1968"},
    {9, "Ummagumma", "1969"},
    {9, "Atom Heart Mother", "1970"},
    {9, "Meddle", "1971"},
    {9, "Obscured by Clouds", "1972"},
    {9, "Dark Side of The Moon", "1973"},
    {9, "Wish You Were Here", "1975"},
    {9, "Animals", "1977"},
    {9, "The Wall", "1979"},
    {9, "The Final Cut", "1983"},
    {9, "A Momentary Lapse of Reason", "1987"},
    {9, "The Division Bell", "1994"},
    {10, "Solaris", "2002"},
    {11, "Naked Agression", "1989"},
    {11, "Riot", "1993"},
    {11, "Schizophrenia", "1996"},
    {11, "Evolution", "2007"},
    {12, "Rush", "1974"},
    {12, "Fly By Night", "1975"},
    {12, "Caress of Steel", "1975"},
    {12, "2112", "1976"},
    {12, "A Farewell to Kings", "1977"},
    {12, "Hemispheres", "1978"},
    {12, "Permanent Waves", "1980"},
    {12, "Moving Pictures", "1981"},
    {12, "Signals", "1982"},
    {12, "Grace Under Pressure", "1984"},
    {12, "Power Windows", "1985"},
    {12, "Hold Your Fire", "1987"},
    {12, "Presto", "1989"},
    {12, "Roll The Bones", "1991"},
    {12, "Counterparts", "1993"},
    {12, "Vapor Trails", "2002"},
    {12, "Snakes and Arrows", "2007"},
    {13, "Yes", "1969"},
    {13, "Time and a Word", "1970"},
    {13, "The Yes Album", "1971"},
    {13, "Fragile", "1971"},
    {13, "Close To The Edge", "1972"},
    {13, "Tales from Topographic Oceans", "1973"},
    {13, "Relayer", "1974"},
    {13, "Going for the One", "1977"},
    {13, "Tormato", "1978"},
    {13, "Time and a Word", "1970"},
    {13, "Drama", "1980"},
    {13, "90125", "1983"},
    {14, "Stella", "1985"},
    {15, "This Was", "1968"},
    {15, "Aqualung", "1971"},
    {15, "Thick as a Brick", "1972"},
    {15, "Heavy Horses", "1978"},
    {15, "A", "1980"},
    {15, "Broadsword and the Beast", "1982"},
    {15, "Crest of a Knave", "1987"},
    {15, "Rock Island", "1981"},
    {15, "Catfish Risiing", "1991"},
    {15, "J-Tull Dot Com", "1999"},
    {16, "Green", "1988"},
    {16, "Out of Time", "1991"},
    {16, "Automatic for the People", "1992"},
    {16, "Monster", "1994"},
    {16, "New Adventures in Hi-Fi", "1996"},
    {16, "Up", "1998"},
    {16, "Reveal", "2001"},
    {16, "Around the Sun", "2004"},
    {16, "Accelerate", "2008"},
    {17, "Parachutes", "2000"},
    {17, "A Rush of Blood To The Head", "2002"},
    {17, "X&Y", "2005"},
    {18, "On Through The Night", "1980"},
    {18, "Pyromania", "1983"},
    {18, "Hysteria", "1987"},
    {18, "Adrenalise", "1992"},
    {18, "Slang", "1996"},
    {18, "X", "2002"},
    {19, "Dirty Rotten Filthy Stinking Rich", "1989"},
    {19, "Cherry Pie", "1990"},
    {19, "Dog Eat Dog", "1992"},
    {19, "Ultraphobic", "1995"},
    {19, "Belly to Belly", "1996"},
    {20, "Budgie", "1971"},
    {20, "Squawk", "1972"},
    {20, "Never Turn Yuor Back on a Friend", "1973"},
    {20, "In For The Kill", "1974"},
    {20, "Bandolier", "1975"},
    {20, "If I Were Brittannia Id Wave The Rules", "1976"},
    {20, "Impeckable", "1978"},
    {20, "Power Supply", "1980"},
    {20, "Nightlight", "1981"},
    {20, "Deliver Us From Evil", "1982"},
    {21, "Wishbone Ash", "1970"},
    {21, "Pilgrimage", "1971"},
    {21, "Argus", "1970"},
    {21, "Wishbone Four", "1973"},
    {21, "Theres The Rub", "1974"},
    {21, "Locked In", "1976"},
    {21, "New England", "1976"},
    {21, "Front Page News", "1977"},
    {21, "No Smoke Without Fire", "1978"},
    {22, "All About Eve", "1988"},
    {22, "Scarlet and Other Stories", "1989"},
    {22, "Untouched By Jesus", "1991"},
    {22, "Ultraviolet", "1992"},
    {23, "Roxy Music", "1972"},
    {23, "For Your Pleasure", "1973"},
    {23, "Stranded", "1973"},
    {23, "Country Life", "1974"},
    {23, "Siren", "1975"},
    {23, "Manifesto", "1979"},
    {23, "Flesh and Blood", "1980"},
    {23, "Avalon", "1982"},
    {24, "Camel", "1973"},
    {24, "Mirage", "1974"},
    {24, "The Snow Goose", "1975"},
    {24, "Moonmadness", "1976"},
    {24, "Rain Dances", "1977"},
    {24, "Breathless", "1978"},
    {24, "I Can See Your House From Here", "1979"},
    {24, "Nude", "1981"},
    {24, "The Single Factor", "1973"},
    {24, "Stationary Traveller", "1984"},
    {24, "Dust and Dreams", "1991"},
    {24, "Harbour of Tears", "1996"},
    {24, "Rajaz", "1999"},
    {24, "A Nod and a Wink", "2002"},
    {25, "Appetite for Destruction", "1987"},
    {25, "Lies", "1988"},
    {25, "Use Your Illusion I", "1991"},
    {25, "Use Your Illusion II", "1991"},
    {25, "The Spaghetti Incident", "1993"},
    {25, "Chinese Democracy", "2012"},
    {26, "Emerson Lake and Palmer", "1970"},
    {26, "Tarkus", "1971"},
    {26, "Pictures at an Exhibition", "1971"},
    {26, "Welcome back my friends...", "1974"},
    {26, "Trilogy", "1972"},
    {26, "Brain Salad Surgery", "1973"},
    {26, "Works I", "1977"},
    {26, "Works II", "1977"},
    {26, "Love Beach", "1978"},
    {26, "In Concert", "1979"},
    {26, "Black Moon", "1992"},
}};

namespace {

constexpr bool quoteFree(std::string_view text)
{
    return text.find('\'') == std::string_view::npos;
}

constexpr bool isYear(std::string_view date)
{
    return date.size() == 4 && std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A row lost from an initializer list leaves an empty entry behind, and the scripts put
// every value between single quotes without escaping: both are caught at compile time.
constexpr bool artistsAreSound()
{
    return std::all_of(DemoArtists.begin(), DemoArtists.end(),
                       [](std::string_view name) { return !name.empty() && quoteFree(name); });
}

constexpr bool cdsAreSound()
{
    int previousArtist = 1;
    for (const DemoCD &cd : DemoCDs) {
        if (cd.title.empty() || !quoteFree(cd.title) || !isYear(cd.date))
            return false;
        // Grouped by artist in ascending ArtistID, every artist present.
        if (cd.artistId != previousArtist && cd.artistId != previousArtist + 1)
            return false;
        previousArtist = cd.artistId;
    }
    return DemoCDs.front().artistId == 1 && previousArtist == int(DemoArtistCount);
}

static_assert(artistsAreSound());
static_assert(cdsAreSound());

constexpr std::string_view LineEnd = "\r\n";

// Every line but the last ends in CR LF.
QString finishScript(std::string &script)
{
    script += "COMMIT;";
    return QString::fromStdString(script);
}

} // namespace

QString BuildArtistsScript()
{
    std::string script = "BEGIN;";
    script += LineEnd;
    for (std::string_view name : DemoArtists) {
        script += "INSERT INTO Artists (ArtistID,ArtistName) values (NULL,'";
        script += name;
        script += "');";
        script += LineEnd;
    }
    return finishScript(script);
}

QString BuildCDsScript()
{
    std::string script = "BEGIN;";
    script += LineEnd;
    for (const DemoCD &cd : DemoCDs) {
        // The artist id goes in unquoted, the year in quotes.
        script += "INSERT INTO CDs (CDID,ArtistID,Title,Date) values (NULL,";
        script += std::to_string(cd.artistId);
        script += ",'";
        script += cd.title;
        script += "','";
        script += cd.date;
        script += "');";
        script += LineEnd;
    }
    return finishScript(script);
}

} // namespace kest
