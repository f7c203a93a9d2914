// Abort and closing the window while the map is written, with the input
// arriving as a user's does: queued by the window system and delivered by the
// event loop of the platform (glib on Linux), not sent straight to a widget.
#include "WindowFixture.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFileInfo>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

namespace {

using TestSupport::ListDir;
using TestSupport::ReadFile;
using TestSupport::SaveRedBmp;
using TestSupport::WriteFile;

// A left click in the middle of Widget, queued as the window system queues a
// user's click: it is delivered only when the event loop gets to it.
void QueueClick(QWidget *Widget)
{
    QWidget *top = Widget->window();
    QWindow *window = top->windowHandle();
    ASSERT_NE(window, nullptr);
    const QPoint centre = Widget->rect().center();
    const QPointF local = Widget->mapTo(top, centre);
    const QPointF global = Widget->mapToGlobal(centre);
    using Queued = QWindowSystemInterface::AsynchronousDelivery;
    QWindowSystemInterface::handleMouseEvent<Queued>(window, local, global, Qt::LeftButton, Qt::LeftButton,
                                                     QEvent::MouseButtonPress);
    QWindowSystemInterface::handleMouseEvent<Queued>(window, local, global, Qt::NoButton, Qt::LeftButton,
                                                     QEvent::MouseButtonRelease);
}

// The close box of the window's frame, queued the same way.
void QueueClose(QWidget *Widget)
{
    QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::AsynchronousDelivery>(
        Widget->window()->windowHandle());
}

bool GlibDispatcher()
{
    return QByteArray(QAbstractEventDispatcher::instance()->metaObject()->className()).contains("Glib");
}

class TQueuedInputTest : public TWindowTest
{
protected:
    void SetUp() override
    {
        TWindowTest::SetUp();
        ASSERT_TRUE(GlibDispatcher()) << "these tests are about the glib event loop; QT_NO_GLIB is set?";
        SaveRedBmp(Picture, ThreeTerrains());
        WriteFile(MapPath, OldMap);
        Form = MakeForm();
        LoadThroughDialog(*Form, Picture);
        SetOutputThroughDialog(*Form, MapPath);
        Form->move(0, 0);
        Form->show();
        ASSERT_TRUE(WaitExposed());
    }
    bool WaitExposed()
    {
        for (int i = 0; i < 100 && !Form->windowHandle()->isExposed(); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return Form->windowHandle()->isExposed();
    }
    // Clicks Generate as a user does and lets the event loop run until the run is over.
    void ClickGenerate()
    {
        QueueClick(Form->BitBtn4);
        for (int i = 0; i < 1000 && Form->RunsEnded == 0; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_EQ(Form->RunsEnded, 1);
        QCoreApplication::processEvents();
    }

    const std::string Picture = Dir.File("world.bmp");
    const std::string MapPath = Dir.File("map0.mul");
    const std::string OldMap = std::string("an earlier map\0\1\2", 17);
    std::unique_ptr<TTestForm> Form;
};

TEST_F(TQueuedInputTest, AClickOnAbortStopsTheWritingAndKeepsTheEarlierMap)
{
    // Event processing 1 comes before the pipeline, n + 1 after block-column
    // n. The click arrives while block-column 3 is being written, as most
    // clicks do: the window repaints the progress bar before it next takes input.
    Form->AfterEvents = [&](int Call) {
        if (Call == 3)
            QueueClick(Form->BitBtn3);
    };
    ClickGenerate();

    EXPECT_LE(Form->Calls, 4) << "Abort took effect only after " << Form->Calls - 1 << " block-columns";
    EXPECT_TRUE(ReadFile(MapPath) == OldMap) << "the earlier map was replaced";
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"map0.mul", "world.bmp"}));
    EXPECT_TRUE(Boxes.empty());
    EXPECT_TRUE(Form->BitBtn3->isHidden());
    EXPECT_TRUE(Form->BitBtn4->isEnabled());
    const std::string said = Form->GetRunResultText().toStdString();
    EXPECT_EQ(said, "The run was aborted: the earlier files were kept (map0.mul).");
}

TEST_F(TQueuedInputTest, ClosingTheWindowStopsTheWritingAndKeepsTheEarlierMap)
{
    Form->AfterEvents = [&](int Call) {
        if (Call == 3)
            QueueClose(Form.get());
    };
    ClickGenerate();

    EXPECT_LE(Form->Calls, 4) << "the close took effect only after " << Form->Calls - 1 << " block-columns";
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(Form->GetModel(), nullptr);
    EXPECT_TRUE(ReadFile(MapPath) == OldMap) << "the earlier map was replaced";
    EXPECT_EQ(ListDir(Dir.Path()), (std::vector<std::string>{"map0.mul", "morvane.ini", "world.bmp"}));
    EXPECT_TRUE(Boxes.empty());
}

} // namespace
