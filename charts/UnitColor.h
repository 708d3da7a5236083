#pragma once

// The colour window "Цвета": the gradient scheme and the axis label colours
// of the chart, chosen while the chart stays in view.

#include <QWidget>

class QPushButton;
class TChart;

class TFormColor : public QWidget
{
    Q_OBJECT

public:
    TFormColor(QWidget *owner, TChart *chart);

    QPushButton *BtnEndColor, *BtnSartColor, *BtnWallColor;
    QPushButton *BtnColorTemp, *BtnColorTime, *BtnColorU;

signals:
    void closed();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    TChart *chart_;
};
