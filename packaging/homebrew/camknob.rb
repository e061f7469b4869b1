# Homebrew formula for camknob, with camknobd as the user's service.
#
# camknob has no published repository address and no release yet, so the
# formula names no homepage and builds the head of a git repository alone:
# the copy put in a tap names the clone to build in place of
# CAMKNOB_GIT_REPOSITORY below, and the branch to take (README, macOS):
#
#   brew tap-new --no-git camknob/local
#   sed "s|\"CAMKNOB_GIT_REPOSITORY\"|\"file://$PWD\", branch: \"$(git branch --show-current)\"|" \
#     packaging/homebrew/camknob.rb >"$(brew --repository camknob/local)/Formula/camknob.rb"
#   brew install --HEAD camknob/local/camknob
class Camknob < Formula
  desc "List video cameras and change their controls, from scripts or a web page"
  head "CAMKNOB_GIT_REPOSITORY", using: :git

  depends_on "cmake" => :build
  depends_on "ninja" => :build
  depends_on "cpp-httplib"
  # The programs are built for macOS 12.0 and later (CMAKE_OSX_DEPLOYMENT_TARGET).
  depends_on macos: :monterey

  def install
    system "cmake", "-S", ".", "-B", "build", "-G", "Ninja", "-DCAMKNOB_TESTS=OFF",
           *std_cmake_args
    system "cmake", "--build", "build"
    system "cmake", "--install", "build"
  end

  # launchd does not make the folder of a service's log.
  def post_install
    (var/"log/camknob").mkpath
  end

  # Started at login by `brew services start camknob`, and again when it fails;
  # its start line, with the one-time login page, goes to the log.
  service do
    run opt_bin/"camknobd"
    keep_alive successful_exit: false
    log_path var/"log/camknob/camknobd.log"
    error_log_path var/"log/camknob/camknobd.log"
  end

  test do
    require "json"
    answer = JSON.parse(shell_output("#{bin}/camknob-sim list"))
    assert_equal true, answer["ok"]
    refute_empty answer["devices"]
    assert_match "Usage: camknobd", shell_output("#{bin}/camknobd --help")
  end
end
