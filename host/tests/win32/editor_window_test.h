// EditorWindowTest: the fixture of the editor window tests. Each test starts with the plug-in
// loaded through the library boundary and its editor open in the host window, with nothing
// recorded yet.
#pragma once

#include "editor_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

class EditorWindowTest : public ::testing::Test {
protected:
    explicit EditorWindowTest(std::string pluginName) : pluginName_(std::move(pluginName)) {}

    void SetUp() override {
        std::string error;
        host_ = EditorHost::load(pluginName_, error);
        ASSERT_TRUE(host_) << error;
        open();
    }

    // Opens the editor and forgets what the host heard so far.
    void open() {
        std::string error;
        ASSERT_TRUE(host_->openEditor(error)) << error;
        ASSERT_NE(host_->editorWindow(), nullptr)
            << "no window of class " << host_->frameClassName() << " named Window";
        host_->clearRequests();
    }
    void reopen() {
        host_->closeEditor();
        open();
    }
    // A host's write, then the idle call that brings it to the screen.
    void hostWrites(int32_t parameter, float value) {
        host_->writeParameter(parameter, value);
        host_->idle();
        host_->clearRequests();
    }
    // The editor's window is the host window's only child, of the size the editor reports
    // (opcode 13, which must start at 0, 0).
    void expectOneChildWindowOfSize(int width, int height) {
        EditorRect* rect = nullptr;
        ASSERT_EQ(host_->dispatch(EditorBoundsQuery, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_EQ(rect->bottom, height);
        EXPECT_EQ(rect->right, width);
        HWND window = host_->editorWindow();
        EXPECT_EQ(GetParent(window), host_->hostWindow());
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right - client.left, width);
        EXPECT_EQ(client.bottom - client.top, height);
        EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE),
                  WS_CHILD | WS_VISIBLE);
        EXPECT_EQ(host_->childWindowCount(), 1);
    }
    // No window and no window class of the editor is left.
    void expectNothingOfTheEditorLeft() {
        host_->pumpMessages();
        EXPECT_EQ(host_->childWindowCount(), 0);
        WNDCLASSEXA info{};
        info.cbSize = sizeof(info);
        EXPECT_FALSE(GetClassInfoExA(host_->module(), host_->frameClassName().c_str(), &info))
            << "the editor's window class outlived it";
    }

    std::unique_ptr<EditorHost> host_;

private:
    std::string pluginName_;
};
