// SPDX-License-Identifier: GPL-3.0-or-later
// CrossThreadTest.cpp - calls from a worker thread are carried out on the
// window thread and return when done, also while a modal box is open; a
// message box asked for off the window thread is shown by the window thread
// and blocks its caller until answered.
#include "FwFixture.h"
#include "ScriptedResponder.h"
#include "fw/qt/Window.h"

#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QTabBar>
#include <QTableView>
#include <QThread>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace ostrane::fwtest {
namespace {

using ostrane::testing::ScriptedResponder;

// Runs work on a thread of its own while this thread, the window thread,
// runs its event loop; returns once the work is done.
void RunOnWorker(const std::function<void()>& work)
{
    QEventLoop loop;
    std::thread worker([&] {
        work();
        // By name, so that the queued call is made and freed inside Qt's
        // library alone, where ThreadSanitizer sees its hand-off as Qt's own.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

// Scripted answers, noting the thread that shows each box; a box can be held
// open, with its own modal loop as a real one has, until Answer() is called.
class ThreadAwareResponder : public ScriptedResponder {
public:
    int ShowMessageBox(const MessageBoxRequest& request) override
    {
        shownOn.push_back(QThread::currentThread());
        int scripted = ScriptedResponder::ShowMessageBox(request);
        if (!onShown)
            return scripted;
        QEventLoop modal;
        m_modal = &modal;
        QMetaObject::invokeMethod(&modal, onShown, Qt::QueuedConnection);
        modal.exec();
        m_modal = nullptr;
        return m_answer;
    }

    void Answer(int button)
    {
        m_answer = button;
        if (m_modal)
            m_modal->quit();
    }

    std::vector<QThread*> shownOn;
    std::function<void()> onShown;  // when set, the box stays open and this runs in its loop

private:
    QEventLoop* m_modal = nullptr;
    int m_answer = 0;
};

class ScanPage : public CDialog {
public:
    ScanPage() : CDialog(IDD_SCAN_PAGE) {}

    CListCtrl m_results;
    CComboBox m_range;

protected:
    void DoDataExchange(CDataExchange* dx) override
    {
        CDialog::DoDataExchange(dx);
        DDX_Control(dx, IDC_SCAN_RESULTS, m_results);
        DDX_Control(dx, IDC_SCAN_RANGE, m_range);
    }
};

struct Windows {
    CDialog& host;
    ScanPage& page;
    ThreadAwareResponder& responder;
};

struct OffThreadCase {
    const char* name;
    // Notes the thread on which the window changes: calls touched() then.
    std::function<void(Windows&, std::function<void()> touched)> probe;
    // Runs on the worker; returns what it reads back through the framework.
    std::function<std::string(Windows&)> work;
    const char* readBack;
};

std::ostream& operator<<(std::ostream& out, const OffThreadCase& c)
{
    return out << c.name;
}

const OffThreadCase kOffThreadCases[] = {
    {"SetDlgItemText",
     [](Windows& w, std::function<void()> touched) {
         auto* edit = WidgetOf<QLineEdit>(*w.page.GetDlgItem(IDC_SCAN_STATUS));
         QObject::connect(edit, &QLineEdit::textChanged, edit, touched, Qt::DirectConnection);
     },
     [](Windows& w) {
         w.page.SetDlgItemText(IDC_SCAN_STATUS, "正在扫描 C:\\Windows");
         CString text;
         w.page.GetDlgItemText(IDC_SCAN_STATUS, text);
         return text.str();
     },
     "正在扫描 C:\\Windows"},
    {"ListInsertItem",
     [](Windows& w, std::function<void()> touched) {
         QAbstractItemModel* model = WidgetOf<QTableView>(w.page.m_results)->model();
         QObject::connect(model, &QAbstractItemModel::rowsInserted, model, touched, Qt::DirectConnection);
         QObject::connect(model, &QAbstractItemModel::dataChanged, model, touched, Qt::DirectConnection);
     },
     [](Windows& w) {
         int row = w.page.m_results.InsertItem(0, "C:\\virus.exe");
         w.page.m_results.SetItemText(row, 1, "Trojan");
         return std::to_string(row) + " " + w.page.m_results.GetItemText(row, 0).str() + " " +
                w.page.m_results.GetItemText(row, 1).str();
     },
     "0 C:\\virus.exe Trojan"},
    {"ComboSetCurSel",
     [](Windows& w, std::function<void()> touched) {
         auto* combo = WidgetOf<QComboBox>(w.page.m_range);
         QObject::connect(combo, &QComboBox::currentIndexChanged, combo, touched, Qt::DirectConnection);
     },
     [](Windows& w) {
         w.page.m_range.AddString("D:\\");
         w.page.m_range.AddString("C:\\");
         w.page.m_range.SetCurSel(1);
         CString text;
         w.page.m_range.GetWindowText(text);
         return text.str();
     },
     "D:\\"},
    {"TabSetCurSel",
     [](Windows& w, std::function<void()> touched) {
         QTabBar* row = ostrane::fw::ClientOf(w.host.GetDlgItem(IDC_TAB)->m_hWnd)->findChild<QTabBar*>();
         QObject::connect(row, &QTabBar::currentChanged, row, touched, Qt::DirectConnection);
     },
     [](Windows& w) {
         auto* tabs = static_cast<CTabCtrl*>(w.host.GetDlgItem(IDC_TAB));
         tabs->InsertItem(0, "U盘工具");
         tabs->InsertItem(1, "关于");
         tabs->SetCurSel(1);
         return std::to_string(tabs->GetCurSel()) + " " + std::to_string(tabs->GetCurFocus());
     },
     "1 1"},
    {"MessageBox",
     // The responder notes the thread that shows the box.
     [](Windows& w, std::function<void()>) { w.responder.AnswerNextBox(IDYES); },
     [](Windows& w) { return std::to_string(w.page.MessageBox("删除？", nullptr, MB_YESNO)); },
     "6"},  // IDYES
    {"AfxMessageBox",
     [](Windows& w, std::function<void()>) { w.responder.AnswerNextBox(IDNO); },
     [](Windows&) { return std::to_string(AfxMessageBox("继续？", MB_YESNO)); },
     "7"},  // IDNO
};

class OffThreadCallTest : public HostedPageTest, public ::testing::WithParamInterface<OffThreadCase> {
protected:
    void SetUp() override
    {
        HostedPageTest::SetUp();
        CreatePage(m_page, IDD_SCAN_PAGE);
        m_page.m_results.InsertColumn(0, "文件", LVCFMT_LEFT, 300);
        m_page.m_results.InsertColumn(1, "病毒", LVCFMT_LEFT, 100);
    }

    ScanPage m_page;
    ThreadAwareResponder m_responder;
};

TEST_P(OffThreadCallTest, RunsOnTheWindowThreadAndReturns)
{
    const OffThreadCase& c = GetParam();
    Windows windows{m_host, m_page, m_responder};
    std::vector<QThread*> touchedOn;
    c.probe(windows, [&] { touchedOn.push_back(QThread::currentThread()); });
    std::string readBack;
    std::thread::id workerId;
    RunOnWorker([&] {
        workerId = std::this_thread::get_id();
        readBack = c.work(windows);
    });
    EXPECT_NE(workerId, std::this_thread::get_id());
    EXPECT_EQ(readBack, c.readBack);
    touchedOn.insert(touchedOn.end(), m_responder.shownOn.begin(), m_responder.shownOn.end());
    ASSERT_FALSE(touchedOn.empty()) << "the window never changed";
    for (QThread* thread : touchedOn)
        EXPECT_EQ(thread, QApplication::instance()->thread());
}

INSTANTIATE_TEST_SUITE_P(Calls, OffThreadCallTest, ::testing::ValuesIn(kOffThreadCases),
                         [](const auto& info) { return std::string(info.param.name); });

class ModalBoxAcrossThreadsTest : public HostedPageTest {
protected:
    void SetUp() override
    {
        HostedPageTest::SetUp();
        CreatePage(m_page, IDD_SCAN_PAGE);
        m_page.m_results.InsertColumn(0, "文件", LVCFMT_LEFT, 300);
    }

    ScanPage m_page;
    ThreadAwareResponder m_responder;
};

// A worker asks a question. The window thread shows the box and keeps it
// open; meanwhile a second worker fills the page, which must not wait for
// the box. Only then is the box answered, and the first worker gets that
// answer (one no default would give).
TEST_F(ModalBoxAcrossThreadsTest, BoxBlocksItsCallerWhileOtherCallsGoOn)
{
    std::atomic<bool> askerReturned{false};
    bool askerWaitingWhenAnswered = false;
    std::thread filler;
    m_responder.onShown = [&] {
        filler = std::thread([&] {
            m_page.SetDlgItemText(IDC_SCAN_STATUS, "发现 1 个病毒");
            m_page.m_results.InsertItem(0, "E:\\autorun.inf");
            fw::SendToWindowThread([&] {
                askerWaitingWhenAnswered = !askerReturned;
                m_responder.Answer(IDYES);
            });
        });
    };

    int answer = 0;
    RunOnWorker([&] {
        answer = m_page.MessageBox("删除这些文件？", "扫描", MB_YESNO | MB_ICONQUESTION);
        askerReturned = true;
    });
    filler.join();

    EXPECT_EQ(answer, IDYES);
    EXPECT_TRUE(askerWaitingWhenAnswered);
    ASSERT_EQ(m_responder.shownOn.size(), 1u);
    EXPECT_EQ(m_responder.shownOn[0], QApplication::instance()->thread());
    ASSERT_EQ(m_responder.Boxes().size(), 1u);
    EXPECT_EQ(m_responder.Boxes()[0].text, "删除这些文件？");
    EXPECT_EQ(m_responder.Boxes()[0].owner, m_page.m_hWnd);
    CString status;
    m_page.GetDlgItemText(IDC_SCAN_STATUS, status);
    EXPECT_EQ(status, "发现 1 个病毒");
    EXPECT_EQ(m_page.m_results.GetItemText(0, 0), "E:\\autorun.inf");
}

}  // namespace
}  // namespace ostrane::fwtest
