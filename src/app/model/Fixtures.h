#pragma once
// The made-up data of demo mode and of the page captures: per System
// Settings page, the candidates that stand in for the stores, the rows that
// stand in for the System Settings window, its headings, the items offered
// for explanation, and a drawn photo of a made-up System Settings window
// with the decision's marks painted on it.
//
// Every made-up name carries the word "TEST", so a screenshot can never be
// mistaken for someone's real Mac. The marketing switch swaps these texts
// for realistic-looking made-up ones, for screenshots.

#include <QImage>
#include <QList>
#include <QString>
#include <optional>

#include "app/model/Step.h"
#include "explain/ExplainTypes.h"
#include "finder/Candidate.h"
#include "finder/Decision.h"
#include "platform/Geometry.h"

namespace rk {

struct Fixtures {
    struct Rename {
        QString from;
        QString to;
    };
    struct Heading {
        QString text;
        double y = 0;  // window points from the window's top
    };

    // Set once by the page capture before it renders; main thread only.
    static inline bool marketing = false;

    // Applied in order; a longer "from" comes before every shorter text it
    // contains, so each marked text is replaced once, whole.
    static const QList<Rename>& marketingNames();

    // The made-up System Settings window, in screen points.
    static constexpr Rect photoWindow{300, 100, 520, 300};

    // The made-up reverse-domain identifiers ("com.example" names nobody).
    static QString sampleAppID() { return QStringLiteral("com.example.TESTsampleapp"); }
    static QString ghostAppID() { return QStringLiteral("com.example.TESTghostapp"); }
    static QString sampleJobID() { return QStringLiteral("com.example.TESTjob"); }
    static QString updaterID() { return QStringLiteral("com.example.TESTupdater"); }
    // The key of the sample background job ("8." and its identifier).
    static QString sampleJobKey();

    // The text unchanged, or with every marketing rename applied in order.
    static QString t(const QString& text);

    static QList<PaneRow> rows(Step step);
    static QList<Candidate> candidates(Step step);
    static QList<Heading> headings(Step step);
    static QList<ExplainItem> explainItems(Step step);

    // The made-up window with its rows and the decision's marks, drawn at
    // twice its size in points (device pixel ratio 2); none when drawing
    // fails or there is no QGuiApplication (fonts need one); any thread.
    static std::optional<QImage> photo(Step step, const Decision& decision);
};

}  // namespace rk
