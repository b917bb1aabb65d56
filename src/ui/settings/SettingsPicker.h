#pragma once

#include "ui/common/CapsuleMenuButton.h"
#include "ui/common/OptionList.h"

// A menu picker: a capsule naming the current option that opens the list of all options below it,
// drawn like the history window's kind filter. Its accessible name is its purpose and its value.
class SettingsPicker : public CapsuleMenuButton {
    Q_OBJECT

public:
    // name: an option's title in the current interface language.
    SettingsPicker(int count, OptionList::Name name, QWidget* parent = nullptr);

    int currentIndex() const { return m_currentIndex; }
    // Shows the option without reporting it.
    void setCurrentIndex(int index);
    // What the picker chooses, announced before its value.
    void setPurpose(const QString& purpose);

    OptionList* optionList() const { return m_list; }
    bool isPresented() const { return m_list->isVisible(); }
    void present();
    // Re-reads the current option's title.
    void retranslate();

    QSize sizeHint() const override;

Q_SIGNALS:
    // The user chose an option (also the current one again).
    void activated(int index);

protected:
    QColor restingFill() const override;
    bool isOpen() const override;

private:
    void choose(int index);

    OptionList::Name m_name;
    OptionList* m_list = nullptr;
    QString m_purpose;
    int m_currentIndex = 0;
};
