#pragma once
// The operator's saves into files: a save dialog that opens in the folder named after the meter's
// electronic number, and the "Запись данных в файл" window around the writing. Every file is
// written beside its target and renamed over it, so a failed save never costs an existing file.
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

class QImage;
class OperatorAction;
class ViewHost;

namespace filesave {

// The chosen meter's electronic number, read from it now. A field filled earlier may still hold
// the number of a meter chosen before, and a file named or checked by that number would go to or
// come from the wrong meter. Nothing when no meter is chosen or it does not answer twice (the link
// failure is shown). The window refuses input through `action` meanwhile.
std::optional<QString> readElectronicNumber(const OperatorAction& action, ViewHost& host);

// What a save dialog saves: its title says so.
enum class Saving { Params, Archive, Report };

// Creates the electronic number's folder in the working directory (an empty number means the
// working directory itself) and runs the save dialog there with defaultName. The chosen path, or
// nothing when the operator cancels. The working directory stays as it was.
std::optional<QString> choosePath(const QString& electronicNumber, const QString& defaultName,
                                  Saving what = Saving::Params);

struct File {
    QString path;
    QByteArray bytes;
};
// Writes the files in order while Form15 tells the operator to wait, then shows it finished until
// Ok. A file that cannot be written stops the save with an error box that names it; false then.
bool write(ViewHost& host, const QList<File>& files);

// Runs `action` as soon as no exchange is under way (at once when none is), holding polls off while
// it runs. For whatever opens a dialog: one opened inside the engine's wait would hold that exchange
// up until it closed, and its reply would be judged late.
void whenNoExchange(ViewHost& host, std::function<void()> action);

// Saves a picture as PNG through the save dialog, in the folder of `electronicNumber` (the meter
// the pictured rows came from; when not given, the chosen meter), and write(). The dialog waits for
// the exchange under way (opened inside the engine's wait it would hold that exchange up), and no
// poll starts while it is open.
void saveImage(ViewHost& host, const QImage& image, const QString& defaultName,
               const std::optional<QString>& electronicNumber = std::nullopt);

} // namespace filesave
