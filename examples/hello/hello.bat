@echo off
echo Hello, %USERNAME%!
pause
