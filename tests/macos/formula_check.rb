# Checks packaging/homebrew/camknob.rb, Homebrew's formula for camknob, where
# there is no Homebrew: its Ruby syntax (ruby -c), then what it declares and
# does, by loading it over a stand-in of the parts of Homebrew's formula
# language it uses.
#
# usage: ruby formula_check.rb FORMULA
#
# The stand-in records the formula's declarations, runs its install (the
# commands are recorded, not run), its post_install and its service block,
# and runs its test block over stand-in programs, which must pass for a
# working build and fail for each kind of broken one.
# Ruby 2.6 and later (macOS's own /usr/bin/ruby is 2.6).
# Exit status: 0 passed, 1 failed.

require "fileutils"
require "json"
require "open3"
require "pathname"
require "rbconfig"
require "tmpdir"

FORMULA = ARGV.fetch(0) { abort "usage: ruby formula_check.rb FORMULA" }

# A failed assertion of the formula's test block.
class AssertionFailed < StandardError; end

# The service block's statements, as Homebrew's service DSL takes them.
class ServiceRecord
  attr_reader :settings

  def initialize(formula)
    @formula = formula
    @settings = {}
  end

  %i[run keep_alive log_path error_log_path run_at_load working_dir environment_variables
     run_type interval].each do |name|
    define_method(name) { |*values, **options| @settings[name] = options.empty? ? values : [*values, options] }
  end

  def method_missing(name, *arguments, &block)
    return @formula.public_send(name, *arguments, &block) if @formula.respond_to?(name)

    super
  end

  def respond_to_missing?(name, include_private = false)
    @formula.respond_to?(name) || super
  end
end

# What a formula's class body and methods may call, recorded.
class Formula
  class << self
    attr_reader :recorded

    def inherited(subclass)
      super
      subclass.instance_variable_set(:@recorded, { dependencies: [] })
    end

    %i[desc homepage license url sha256 version].each do |name|
      define_method(name) { |value| @recorded[name] = value }
    end

    def head(url, **options)
      @recorded[:head] = [url, options]
    end

    def depends_on(dependency)
      @recorded[:dependencies] << dependency
    end

    def service(&block)
      @recorded[:service] = block
    end

    def test(&block)
      @recorded[:test] = block
    end
  end

  attr_reader :commands

  def initialize(root)
    @root = Pathname(root)
    @commands = []
  end

  def prefix
    @root/"Cellar/camknob/HEAD-0000000"
  end

  def bin
    prefix/"bin"
  end

  def opt_bin
    @root/"opt/camknob/bin"
  end

  def var
    @root/"var"
  end

  def std_cmake_args
    ["-DCMAKE_INSTALL_PREFIX=#{prefix}", "-DCMAKE_BUILD_TYPE=Release", "-Wno-dev",
     "-DBUILD_TESTING=OFF"]
  end

  def system(*command)
    @commands << command.map(&:to_s)
    true
  end

  def shell_output(command, expected_status = 0)
    output, status = Open3.capture2(command)
    raise AssertionFailed, "#{command} exited #{status.exitstatus}" unless status.exitstatus == expected_status

    output
  end

  def assert_equal(expected, actual)
    raise AssertionFailed, "expected #{expected.inspect}, got #{actual.inspect}" unless expected == actual
  end

  def assert_match(pattern, text)
    raise AssertionFailed, "#{pattern.inspect} not in #{text.inspect}" unless text.match?(pattern)
  end

  def assert(value, message = "assertion failed")
    raise AssertionFailed, message unless value
  end

  def refute_empty(collection)
    raise AssertionFailed, "#{collection.inspect} is empty" if collection.respond_to?(:empty?) && collection.empty?
  end
end

$faults = []
def fault(text)
  $faults << text
end

# --- Syntax, as `ruby -c` checks it.
_, syntax_status = Open3.capture2e(RbConfig.ruby, "-c", FORMULA)
abort "#{FORMULA}: not valid Ruby (ruby -c)" unless syntax_status.success?

load File.expand_path(FORMULA)
abort "#{FORMULA} defines no class Camknob < Formula" unless defined?(Camknob) && Camknob < Formula
declared = Camknob.recorded

# --- Declarations (Homebrew's own rules for desc among them).
description = declared[:desc].to_s
fault "no desc" if description.empty?
fault "desc is over 80 characters" if description.length > 80
fault "desc ends with a full stop" if description.end_with?(".")
fault "desc begins with the formula's name" if description.downcase.start_with?("camknob")
head_url, head_options = declared[:head]
if head_url.nil?
  fault "no head"
elsif head_options[:using] != :git
  fault "head is not fetched with git (using: :git): #{head_options.inspect}"
end
fault "a stable url without a release" if declared.key?(:url)
[{ "cmake" => :build }, { "ninja" => :build }, "cpp-httplib"].each do |dependency|
  fault "no depends_on #{dependency.inspect}" unless declared[:dependencies].include?(dependency)
end

Dir.mktmpdir do |root|
  formula = Camknob.new(root)

  # --- install: configure without the tests and with Homebrew's arguments,
  # then build and install that same build folder.
  formula.install
  configure, build, install = formula.commands
  if formula.commands.length != 3
    fault "install runs #{formula.commands.length} commands, not configure, build and install: " \
          "#{formula.commands.inspect}"
  else
    build_folder = configure[configure.index("-B") + 1] if configure.include?("-B")
    fault "install does not configure with cmake -S . -B FOLDER" unless configure[0] == "cmake" &&
                                                                           configure.each_cons(2).include?(["-S", "."]) &&
                                                                           build_folder
    fault "the configure leaves the tests on" unless configure.include?("-DCAMKNOB_TESTS=OFF")
    missing = formula.std_cmake_args - configure
    fault "the configure drops std_cmake_args #{missing.inspect}" unless missing.empty?
    fault "the build is not cmake --build #{build_folder}" unless build == ["cmake", "--build", build_folder]
    fault "the install is not cmake --install #{build_folder}" unless install == ["cmake", "--install", build_folder]
  end

  # --- post_install makes the service log's folder, which launchd does not.
  formula.post_install if formula.respond_to?(:post_install)

  # --- The service: camknobd from opt_bin, kept alive on failure only, its
  # log in var/log/camknob/ (a folder that exists by then).
  if declared[:service].nil?
    fault "no service block"
  else
    service = ServiceRecord.new(formula)
    service.instance_eval(&declared[:service])
    settings = service.settings
    fault "the service runs #{settings[:run].inspect}, not opt_bin/camknobd" unless settings[:run] == [formula.opt_bin/"camknobd"]
    unless settings[:keep_alive] == [{ successful_exit: false }]
      fault "the service is kept alive as #{settings[:keep_alive].inspect}, not on failure only"
    end
    fault "the service is not run at load" if settings.key?(:run_at_load) && settings[:run_at_load] != [true]
    log = formula.var/"log/camknob/camknobd.log"
    %i[log_path error_log_path].each do |key|
      fault "the service's #{key} is #{settings[key].inspect}, not #{log}" unless settings[key] == [log]
    end
    fault "nothing makes #{log.dirname} before the service starts" unless log.dirname.directory?
  end

  # --- The test block over stand-in programs: (case, camknob-sim's output,
  # camknobd --help's output, whether the block must pass).
  cases = [
    ["a working build", '{"devices":[{"name":"PTZ"}],"ok":true}', "Usage: camknobd [--listen ADDRESS:PORT]", true],
    ["no device", '{"devices":[],"ok":true}', "Usage: camknobd", false],
    ["ok false", '{"devices":[{"name":"PTZ"}],"ok":false}', "Usage: camknobd", false],
    ["not JSON", "camknob-sim: broken", "Usage: camknobd", false],
    ["camknobd missing", '{"devices":[{"name":"PTZ"}],"ok":true}', nil, false],
  ]
  if declared[:test].nil?
    fault "no test block"
  else
    cases.each do |name, list_output, help_output, must_pass|
      FileUtils.rm_rf(formula.bin)
      FileUtils.mkdir_p(formula.bin)
      programs = { "camknob-sim" => list_output, "camknobd" => help_output }
      programs.each do |program, output|
        next if output.nil?

        path = formula.bin/program
        path.write("#!/bin/sh\ncat <<'END'\n#{output}\nEND\n")
        path.chmod(0o755)
      end
      begin
        formula.instance_eval(&declared[:test])
        passed = true
      rescue AssertionFailed, JSON::ParserError, SystemCallError => e
        passed = false
        why = e.message
      end
      if passed != must_pass
        fault "the test block #{passed ? "passes" : "fails"} for #{name}#{why ? " (#{why})" : ""}"
      end
    end
  end
end

if $faults.empty?
  puts "#{FORMULA}: syntax, declarations, install, service and test block as expected"
  exit 0
end
$faults.each { |text| warn "#{FORMULA}: #{text}" }
exit 1
