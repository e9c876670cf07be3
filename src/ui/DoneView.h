#pragma once
// The last page: nothing is left, or which list could not be read, and
// nothing needs a restart; the app's own three permissions, each with a
// button to its System Settings page (and a line when nothing here opens
// System Settings); and a way back to the start.

#include <QList>
#include <QUrl>

#include "app/model/Step.h"
#include "ui/ModelPage.h"

namespace rk {

class DoneView : public ModelPage {
    Q_OBJECT
public:
    DoneView(AppModel& m, bool dark, QWidget* parent = nullptr);

    struct PermissionLink {
        QString title;
        QUrl link;
    };
    // The text under the title: that this was everything, or which of the
    // pages' lists could not be read.
    static QString summary(const QList<Step>& unreadLists);
    // The three permission buttons in order.
    static QList<PermissionLink> permissionLinks();

protected:
    void build(QVBoxLayout* body) override;

private:
    // The last permission button found nothing here to open System Settings:
    // a line under the buttons says so.
    bool openRefused_ = false;
};

}  // namespace rk
