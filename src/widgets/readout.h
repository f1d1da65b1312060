#pragma once

#include <QLabel>
#include <QString>

namespace vantrel
{

// A label that shows a value of something the screen names elsewhere or not at all: a
// signal's value in the grid, a lamp's state, the status line's message. Assistive
// technology reads the words for what it is with the value it shows now ("GV, 1",
// "Receive lamp, on"), or, for a message, the message alone (the words only while it
// shows nothing). A changed value is told when it is drawn, so at the frame clock's pace
// on a paced window, however often it changed in between.
class Readout : public QLabel
{
    Q_OBJECT
public:
    enum class Reads { WordsAndValue, ValueElseWords };
    Readout(const QString& name, const QString& words, QWidget* parent,
            Reads reads = Reads::WordsAndValue);

    const QString& words() const { return m_words; }
    void setWords(const QString& words);
    // What it shows, in words.
    virtual QString value() const { return text().trimmed(); }
    // Its name for assistive technology.
    QString readsAs() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QString m_words;
    Reads m_reads;
    QString m_told; // the name assistive technology was last told
};

} // namespace vantrel
