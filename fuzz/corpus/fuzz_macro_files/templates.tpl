[sel | Select all]
select * from
[begin]
begin
  |
end;