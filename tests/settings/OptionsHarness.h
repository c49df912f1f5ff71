#pragma once

#include "TestEnvironment.h"
#include "platform/FakeRasApi.h"
#include "settings/Foptions.h"
#include "settings/RegVars.h"

#include <QMessageBox>
#include <optional>
#include <stdexcept>
#include <string>

namespace test {

struct SeenBox {
    QString text;
    QString caption;
    QMessageBox::Icon icon;
};

// The settings dialog on a temporary store with scripted links, driven like a user drives it.
// Before Open() the store holds a valid connection, "eth0", which the link list offers. The
// user's configuration folder, where the autostart entry goes, is the store's temporary folder.
struct OptionsHarness {
    OptionsHarness();

    TempStore store;
    ScopedVariable configHome{"XDG_CONFIG_HOME", store.Dir().c_str()};
    CRegVars vars{store.File()};
    FakeRasApi ras;
    TFormOptions form{nullptr, vars, ras};

    void Open();
    template <class T> T* Find(const char* name) const
    {
        T* widget = form.findChild<T*>(name);
        if (!widget)
            throw std::runtime_error(std::string("no control ") + name);
        return widget;
    }
    // Replaces the text of an edit or editable combo box by typing.
    void Type(const char* name, const QString& text);
    void SetChecked(const char* name, bool checked);
    // Clicks OK; returns the message box it raised, answered with its OK button.
    std::optional<SeenBox> PressOk();
    void PressCancel();
    std::filesystem::path AutostartEntry() const;
};

} // namespace test
