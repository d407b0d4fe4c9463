// The save dialog sdMain, the overwrite question and the error box of Save Histogram.
#pragma once

#include "save_copy.h"

class QWidget;

namespace tonalyx {

class TSaveDialogsQt final : public TSaveDialogs {
  public:
    explicit TSaveDialogsQt(QWidget* owner) : FOwner(owner) {}

    QString AskSavePath(const QString& proposedName, const QString& folder) override;
    bool ConfirmOverwrite(const QString& path) override;
    void ShowError(const QString& text) override;

  private:
    QWidget* FOwner;
};

} // namespace tonalyx
