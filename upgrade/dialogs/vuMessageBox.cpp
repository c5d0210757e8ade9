#include "upgrade/dialogs/vuMessageBox.h"

#include "upgrade/utils/vuSeam.h"

namespace vu {

namespace {

// Shows nothing: a program without the dialogs follows the component's events instead.
class TvuSilentPresenter final : public TvuUserPresenter {
public:
    int MessageBox(const QString&, const QString&, unsigned flags) override {
        return CloseBoxAnswer(flags);
    }
    int ExecDialog(QDialog&) override { return 0; } // QDialog::Rejected
};

TvuSilentPresenter gSilentPresenter;
TvuSeam<TvuUserPresenter> gPresenter(&gSilentPresenter);

} // namespace

TvuUserPresenter* SetUserPresenter(TvuUserPresenter* presenter) {
    return gPresenter.Set(presenter);
}

void SetDefaultUserPresenter(TvuUserPresenter* presenter) {
    gPresenter.SetDefault(presenter);
}

TvuUserPresenter& UserPresenter() {
    return gPresenter.Current();
}

int CloseBoxAnswer(unsigned flags) {
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL:
        return IDCANCEL;
    case MB_YESNO:
        return IDNO;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    default:
        return IDOK;
    }
}

int vuMessageBox(const QString& text, const QString& caption, unsigned flags) {
    return UserPresenter().MessageBox(text, caption, flags);
}

QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

} // namespace vu
