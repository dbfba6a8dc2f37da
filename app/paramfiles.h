#pragma once
// "Сохранить параметры" and "Загрузить параметры" of the "Файл" menu: the meter's whole register
// image saved as the report Param.txt with the snapshot Param.bin beside it, and a snapshot loaded
// back into the meter it was taken from.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class OperatorAction;
class ViewHost;
class TForm16;
class QWidget;

class ParamFiles : public QObject {
    Q_OBJECT
  public:
    // Creates the loading window and takes over the two menu items. The window owns the result.
    static ParamFiles* install(ViewHost& host);
    ~ParamFiles() override;

    TForm16* Form16() const { return m_form16.get(); }

    void MenuSaveParamClick();
    void MenuLoadParamClick();

    // The load once its file is chosen, as the menu command runs it: into the chosen meter only when
    // the snapshot carries the number that meter gives now.
    void load(const QString& snapshotPath);

    // The wait before a block of a load; the window keeps repainting meanwhile. Tests shorten it.
    std::function<void(int ms)> pause;

  private:
    explicit ParamFiles(ViewHost& host);
    std::optional<QString> chooseSnapshot(const QString& electronicNumber) const;
    // The save once its file is chosen: the three reads, then both files, or neither.
    void save(const OperatorAction& action, const QString& reportPath);
    void load(const OperatorAction& action, const QString& snapshotPath, const QString& electronicNumber);

    ViewHost& m_host;
    // A top-level window of its own: the disabled main window must not disable it.
    std::unique_ptr<TForm16> m_form16;
};
