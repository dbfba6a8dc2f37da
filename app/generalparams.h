#pragma once
// The "Основные" view of the main window: the reader that picks the installation layout from the
// device's work mode and sensor type, and the editors of every layout.
#include "device/generalparams.h"

#include <QObject>
#include <QString>
#include <functional>

class PanelGeneralParam;
class QWidget;
class ViewHost;

class GeneralParams : public QObject {
    Q_OBJECT
  public:
    // Builds the panel, puts it in place of the window's placeholder and becomes the reader of the
    // general group. The window owns the result.
    static GeneralParams* install(ViewHost& host);

    PanelGeneralParam* panel() const { return m_panel; }

    void ReadGeneralParam();

    // Every pulse-output-mode list and the scheme lists.
    void ComboBoxSchemeInstallENCh1Change(const QString& list);
    // Every condition-cell picture of every box: toggles that one bit of the device's mask.
    void Image1xENCh1Click(const QString& picture);

  private:
    explicit GeneralParams(ViewHost& host);
    void readLayout(genparams::Variant variant);
    // A field's Enter, by the committed field's name: ends with ReadGeneralParam, whether the text
    // was written or refused.
    void commitEdit(const QString& field);

    ViewHost& m_host;
    PanelGeneralParam* m_panel = nullptr;
};
