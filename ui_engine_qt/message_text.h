// The message of a box: plain text that wraps to the width it gets, between
// words where it can and anywhere where it must, so a long path without
// blanks is shown whole instead of being cut off at the box's edge.
#pragma once

#include <QString>
#include <QWidget>

class QTextLayout;

namespace tw::engine {

class MessageText : public QWidget {
 public:
  // Asks for no more than `maxWidth` pixels; longer lines wrap within it.
  MessageText(const QString& text, int maxWidth, QWidget* parent);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void changeEvent(QEvent* event) override;

 private:
  // Breaks the text into lines of at most `width`; returns the height they take.
  int LayOut(QTextLayout& layout, int width) const;

  QString text_;
  int maxWidth_;
  // Layouts ask for the same heights many times while a box settles.
  mutable int cachedWidth_ = -1;
  mutable int cachedHeight_ = 0;
  mutable QSize cachedHint_;
};

}  // namespace tw::engine
