// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

#include <QDialog>
#include <QUrl>

class QLabel;

/// Where the version window sends the user: build settings, see MIKAZUKI_HOMEPAGE and
/// MIKAZUKI_EMAIL in CMake.
struct AboutAddresses
{
    QUrl homePage;
    QString email; ///< empty: the e-mail row is hidden

    /// The addresses this build was configured with; without a home page, the README that
    /// comes with the program, as a file URL.
    static AboutAddresses fromBuild();
};

/// The version window (frmAbout): program, version, description and the author's addresses.
/// A click on an address opens it with the desktop's default program.
class AboutDialog final : public QDialog
{
    Q_OBJECT

public:
    /// Hands an address to the desktop; the result is ignored.
    using UrlOpener = std::function<bool(const QUrl&)>;

    explicit AboutDialog(QWidget* parent = nullptr,
                         const AboutAddresses& addresses = AboutAddresses::fromBuild());

    /// Replaces QDesktopServices::openUrl, for tests.
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    void openHomePage();
    void openMail();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openAddress(const QUrl& url);

    AboutAddresses m_addresses;
    UrlOpener m_openUrl;
    QLabel* m_homePage = nullptr;
    QLabel* m_mail = nullptr;
};
